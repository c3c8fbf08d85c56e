#pragma once
#include <QDialog>
#include <functional>
#include <vector>

#include "CBTRemoteDevice.h"
#include "PortEntry.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

// Keeps the list of Bluetooth receivers: stored devices, and the devices a search finds.
class CBluetoothDialog : public QDialog {
  Q_OBJECT
 public:
  using Search = std::function<std::vector<CMNC::CBTRemoteDevice>()>;
  explicit CBluetoothDialog(bool bluetoothAvailable, QWidget* parent = nullptr);
  QWidget* control(int id) const;
  const std::vector<PortEntry>& devices() const { return devices_; }
  void accept() override;

  // The inquiry; tests replace it.
  Search search;
  void runSearch();
  void addOrUpdate();
  void deleteDevice();

 private:
  void refill(int selectEntry);
  void storedSelectionChange();
  void foundSelectionChange();
  int selectedEntry() const;

  std::vector<PortEntry> devices_;
  std::vector<CMNC::CBTRemoteDevice> found_;
  bool editing_ = false;
  QComboBox* list_;
  QListWidget* foundList_;
  QLineEdit* description_;
  QPushButton *delete_, *add_, *search_;
};
