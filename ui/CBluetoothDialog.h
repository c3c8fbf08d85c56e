#pragma once
#include <functional>
#include <vector>

#include "CBTRemoteDevice.h"
#include "CDeviceListDialog.h"

class QLineEdit;
class QListWidget;
class QPushButton;

// Keeps the list of Bluetooth receivers: stored devices, and the devices a search finds.
class CBluetoothDialog : public CDeviceListDialog {
  Q_OBJECT
 public:
  using Search = std::function<std::vector<CMNC::CBTRemoteDevice>()>;
  explicit CBluetoothDialog(bool bluetoothAvailable, QWidget* parent = nullptr);
  const std::vector<PortEntry>& devices() const { return entries_; }
  void accept() override;

  // The inquiry; tests replace it.
  Search search;
  void runSearch();
  void addOrUpdate();
  void deleteDevice();

 private:
  void selectionChange() override;
  void foundSelectionChange();

  std::vector<CMNC::CBTRemoteDevice> found_;
  bool editing_ = false;
  QListWidget* foundList_;
  QLineEdit* description_;
  QPushButton *add_, *search_;
};
