#pragma once
#include <functional>
#include <vector>

#include "BluetoothSetUp.h"
#include "CDeviceListDialog.h"

class QLineEdit;
class QListWidget;
class QPushButton;

// Keeps the list of Bluetooth receivers: stored devices, and the devices a search finds. The
// rules are BluetoothSetUp's; this dialog shows them and runs the inquiry.
class CBluetoothDialog : public CDeviceListDialog {
  Q_OBJECT
 public:
  using Search = std::function<std::vector<CMNC::CBTRemoteDevice>()>;
  explicit CBluetoothDialog(bool bluetoothAvailable, QWidget* parent = nullptr);
  const std::vector<PortEntry>& devices() const { return model_.list().entries(); }
  void accept() override;

  // The inquiry; tests replace it.
  Search search;
  void runSearch();
  void addOrUpdate();
  void deleteDevice();

 private:
  void listSelected(int row) override;
  void deletePressed() override { deleteDevice(); }
  void render();

  BluetoothSetUp model_;
  QListWidget* foundList_;
  QLineEdit* description_;
  QPushButton *add_, *search_;
};
