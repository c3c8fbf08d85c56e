#pragma once
#include <string>
#include <vector>

#include "CBTRemoteDevice.h"
#include "DeviceList.h"

// The rules of the Bluetooth set-up dialog ("Set up Bluetooth devices"), without widgets: the
// working list of stored devices, the devices the last search found, "Description:" and the states
// of "Add"/"Update" and "Delete". At most one of the two lists has a selection. A view passes
// "Description:" in before each verb and renders the state after it. Called on the UI thread only;
// never blocks (the view runs the inquiry and passes its result to searched).
class BluetoothSetUp {
 public:
  // Opening: the first stored device selected when there is one, no found device.
  explicit BluetoothSetUp(std::vector<PortEntry> devices);

  const DeviceList& list() const { return list_; }
  const std::vector<CMNC::CBTRemoteDevice>& found() const { return found_; }
  int selectedFound() const { return selectedFound_; }
  const std::string& description() const { return description_; }
  void setDescription(std::string text) { description_ = std::move(text); }
  const char* addLabel() const { return editing_ ? "Update" : "Add"; }
  bool addEnabled() const { return editing_ || selectedFound_ >= 0; }
  bool deleteEnabled() const { return list_.selectedRow() >= 0; }

  // The stored list's selection changed (-1: none).
  void selectStored(int row);
  // The found list's selection changed (-1: none).
  void selectFound(int index);
  // A search ended with these devices: the first is selected when there is one.
  void searched(std::vector<CMNC::CBTRemoteDevice> devices);
  // "Add" stores the selected found device (a device already stored is selected instead);
  // "Update" gives the selected stored device a non-empty description.
  void addOrUpdate();
  void deleteSelected();
  std::vector<PortEntry> devicesToStore() const { return list_.shown(); }

 private:
  DeviceList list_;
  std::vector<CMNC::CBTRemoteDevice> found_;
  int selectedFound_ = -1;
  std::string description_;
  bool editing_ = false;
};
