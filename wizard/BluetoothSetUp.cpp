#include "BluetoothSetUp.h"

BluetoothSetUp::BluetoothSetUp(std::vector<PortEntry> devices) : list_(std::move(devices)) { selectStored(0); }

void BluetoothSetUp::selectStored(int row) {
  list_.selectRow(row);
  const PortEntry* e = list_.selected();
  editing_ = e != nullptr;
  if (e == nullptr) return;
  selectedFound_ = -1;
  description_ = e->description;
}

void BluetoothSetUp::selectFound(int index) {
  selectedFound_ = index >= 0 && index < static_cast<int>(found_.size()) ? index : -1;
  if (selectedFound_ < 0) return;
  list_.selectRow(-1);
  editing_ = false;
  description_ = found_[static_cast<std::size_t>(selectedFound_)].name;
}

void BluetoothSetUp::searched(std::vector<CMNC::CBTRemoteDevice> devices) {
  found_ = std::move(devices);
  selectedFound_ = -1;
  if (!found_.empty()) selectFound(0);
}

void BluetoothSetUp::addOrUpdate() {
  if (editing_) {
    if (!description_.empty()) list_.renameSelected(description_);
    return;
  }
  if (selectedFound_ < 0) return;
  const CMNC::CBTRemoteDevice& device = found_[static_cast<std::size_t>(selectedFound_)];
  const std::vector<PortEntry>& stored = list_.entries();
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if (stored[i].address == device.addressText) {  // already stored: select it instead
      list_.selectEntry(static_cast<int>(i));
      selectStored(list_.selectedRow());
      return;
    }
  }
  const std::string description = description_.empty() ? device.name : description_;
  list_.append({description, description, device.addressText, ConnectionKind::Bluetooth});
  selectStored(list_.selectedRow());
}

void BluetoothSetUp::deleteSelected() {
  list_.deleteSelected();
  selectStored(list_.selectedRow());
}
