#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "BluetoothSetUp.h"

// The set-up of Bluetooth devices on Windows (layout 135): the stored devices and the ones a
// search finds, stored in the registry on OK. The rules are BluetoothSetUp's; this dialog renders
// them and runs the inquiry on a thread of its own (it takes about 20 s), the window answering
// meanwhile, the seconds counted in the found list and "Search" reading "Stop", which abandons it.
class CBluetoothDialog {
 public:
  using Search = std::function<std::vector<CMNC::CBTRemoteDevice>()>;
  // The working list comes from the registry (empty while Bluetooth is not available).
  explicit CBluetoothDialog(bool bluetoothAvailable);
  ~CBluetoothDialog();
  CBluetoothDialog(const CBluetoothDialog&) = delete;
  CBluetoothDialog& operator=(const CBluetoothDialog&) = delete;
  // Runs modally; true when it ended with OK (the devices are stored then).
  bool run(HWND owner);

  // For the dialog procedure: see devicelistcontrols::runModal.
  void render(HWND hwnd);
  bool command(HWND hwnd, int id, int notification);
  void save(HWND owner) const;
  INT_PTR message(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  // The inquiry; tests replace it.
  Search search;

 private:
  // What the dialog and the search's thread share; the thread outlives an abandoned search.
  struct Search_ {
    std::mutex mutex;
    HWND window = nullptr;  // guarded by mutex: where the result goes; none once abandoned
    std::vector<CMNC::CBTRemoteDevice> found;  // guarded by mutex
  };
  void runSearch(HWND hwnd);
  void endSearch(HWND hwnd);
  void abandonSearch();
  void showSearching(HWND hwnd);

  BluetoothSetUp model_;
  std::shared_ptr<Search_> searching_;  // the search under way
  ULONGLONG searchStarted_ = 0;
};
