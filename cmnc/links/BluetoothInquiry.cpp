#include "BluetoothInquiry.h"

namespace CMNC {
namespace {

constexpr uint32_t kDeviceClassMask = 0x1FFF;  // major and minor device class with the format bits

}  // namespace

std::vector<CBTRemoteDevice>& DiscoveredDevices() {
  static std::vector<CBTRemoteDevice> devices;
  return devices;
}

bool AcceptsDevice(uint32_t classOfDevice, int serialPortRecords) {
  const uint32_t device = classOfDevice & kDeviceClassMask;
  return (device == 0 || device == 0x1F00 || device == 0x1F01) && serialPortRecords == 1;
}

std::vector<CBTRemoteDevice> SearchDevices() {
  DiscoveredDevices().clear();
  InquireDevices({});
  return DiscoveredDevices();
}

}  // namespace CMNC
