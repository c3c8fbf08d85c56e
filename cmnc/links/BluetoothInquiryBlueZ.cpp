#include "BluetoothInquiry.h"

// The inquiry on BlueZ: the HCI inquiry of the first adapter, then each name and service search.

#include <bluetooth/bluetooth.h>
#include <bluetooth/hci.h>
#include <bluetooth/hci_lib.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "BluetoothAvailability.h"

namespace CMNC {
namespace {

constexpr int kInquiryLength = 20;  // in units of 1.28 s (about 25 s)
constexpr int kMaxResponses = 64;

}  // namespace

int InquireDevices(const std::function<void(const CBTRemoteDevice&)>& onDevice) {
  if (!BluetoothAvailable()) return 0;
  const int deviceId = hci_get_route(nullptr);
  if (deviceId < 0) return errno ? errno : ENODEV;
  inquiry_info* raw = nullptr;
  const int found = hci_inquiry(deviceId, kInquiryLength, kMaxResponses, nullptr, &raw, IREQ_CACHE_FLUSH);
  std::unique_ptr<inquiry_info, decltype(&bt_free)> results(raw, &bt_free);
  if (found < 0) return errno ? errno : EIO;
  const int hci = hci_open_dev(deviceId);
  for (int i = 0; i < found; ++i) {
    const inquiry_info& info = raw[i];
    uint64_t address = 0;
    for (int b = 5; b >= 0; --b) address = (address << 8) | info.bdaddr.b[b];
    const uint32_t cod = static_cast<uint32_t>(info.dev_class[0] | (info.dev_class[1] << 8) | (info.dev_class[2] << 16));
    char name[248] = {};
    if (hci >= 0) hci_read_remote_name(hci, &info.bdaddr, sizeof name, name, 0);
    CBTRemoteDevice device(name, address, cod);
    if (!AcceptsDevice(cod, device.CountSerialPortRecords())) continue;
    DiscoveredDevices().push_back(device);
    if (onDevice) onDevice(device);
  }
  if (hci >= 0) hci_close_dev(hci);
  return 0;
}

}  // namespace CMNC
