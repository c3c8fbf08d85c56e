#pragma once
#include <windows.h>

#include <functional>
#include <vector>

#include "BluetoothSetUp.h"

// The set-up of Bluetooth devices on Windows (layout 135): the stored devices and the ones a
// search finds, stored in the registry on OK. The rules are BluetoothSetUp's; this dialog renders
// them and runs the inquiry.
class CBluetoothDialog {
 public:
  using Search = std::function<std::vector<CMNC::CBTRemoteDevice>()>;
  // The working list comes from the registry (empty while Bluetooth is not available).
  explicit CBluetoothDialog(bool bluetoothAvailable);
  // Runs modally; true when it ended with OK (the devices are stored then).
  bool run(HWND owner);

  // For the dialog procedure: see devicelistcontrols::runModal.
  void render(HWND hwnd);
  bool command(HWND hwnd, int id, int notification);
  void save() const;

  // The inquiry; tests replace it.
  Search search;

 private:
  void runSearch(HWND hwnd);

  BluetoothSetUp model_;
};
