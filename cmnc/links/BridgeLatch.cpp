#include "BridgeLatch.h"

#include <libudev.h>
#include <libusb.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>

namespace CMNC {
namespace {

constexpr uint8_t kVendorIn = 0xC0;   // vendor request, device to host
constexpr uint8_t kVendorOut = 0x40;  // vendor request, host to device
constexpr uint8_t kVendorRequest = 0xFF;
constexpr uint16_t kPartNumberValue = 0x370B;
constexpr uint16_t kLatchValue = 0x37E1;
constexpr unsigned kRequestTimeoutMs = 1000;
constexpr uint8_t kLatchPartNumber = 3;

struct UsbLocation {
  int bus = -1;
  int address = -1;
};

// Finds the USB device behind a tty through udev.
bool LocateBridge(int handle, UsbLocation& where) {
  struct stat st {};
  if (handle < 0 || ::fstat(handle, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
  std::unique_ptr<udev, decltype(&udev_unref)> ctx(udev_new(), &udev_unref);
  if (!ctx) return false;
  std::unique_ptr<udev_device, decltype(&udev_device_unref)> tty(
      udev_device_new_from_devnum(ctx.get(), 'c', st.st_rdev), &udev_device_unref);
  if (!tty) return false;
  udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty.get(), "usb", "usb_device");
  if (!usb) return false;
  const char* bus = udev_device_get_sysattr_value(usb, "busnum");
  const char* dev = udev_device_get_sysattr_value(usb, "devnum");
  if (!bus || !dev) return false;
  where.bus = std::atoi(bus);
  where.address = std::atoi(dev);
  return true;
}

// Runs one vendor control request on the bridge behind the tty. Returns the transferred count or
// a negative value.
int ControlRequest(int handle, uint8_t type, uint16_t value, uint16_t index, uint8_t* data, uint16_t length) {
  UsbLocation where;
  if (!LocateBridge(handle, where)) return -1;
  libusb_context* raw = nullptr;
  if (libusb_init(&raw) != 0) return -1;
  std::unique_ptr<libusb_context, decltype(&libusb_exit)> ctx(raw, &libusb_exit);
  libusb_device** list = nullptr;
  ssize_t count = libusb_get_device_list(ctx.get(), &list);
  int result = -1;
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device* d = list[i];
    if (libusb_get_bus_number(d) != where.bus || libusb_get_device_address(d) != where.address) continue;
    libusb_device_handle* h = nullptr;
    if (libusb_open(d, &h) == 0) {
      result = libusb_control_transfer(h, type, kVendorRequest, value, index, data, length, kRequestTimeoutMs);
      libusb_close(h);
    }
    break;
  }
  if (list) libusb_free_device_list(list, 1);
  return result;
}

}  // namespace

int QueryBridgeConfig(int handle, uint8_t& flag) {
  flag = 0;
  if (handle < 0) return kBridgeInvalidHandle;
  UsbLocation where;
  return LocateBridge(handle, where) ? kBridgeDone : kBridgeRequestFailed;
}

int GetBridgePartNumber(int handle, uint8_t& partNumber) {
  uint8_t flag = 0;
  int status = QueryBridgeConfig(handle, flag);
  if (status != kBridgeDone) return status;
  partNumber = 1;
  if (flag == 1) return kBridgeDone;
  uint8_t byte = 0;
  if (ControlRequest(handle, kVendorIn, kPartNumberValue, 0, &byte, 1) != 1) return kBridgeRequestFailed;
  partNumber = byte;
  return kBridgeDone;
}

int SetBridgeLatch(int handle, uint8_t mask, uint8_t state) {
  uint8_t part = 0;
  if (GetBridgePartNumber(handle, part) != kBridgeDone) return kBridgePartQueryFailed;
  if (part != kLatchPartNumber) return kBridgeWrongPart;
  const uint16_t index = static_cast<uint16_t>(mask | (state << 8));
  return ControlRequest(handle, kVendorOut, kLatchValue, index, nullptr, 0) == 0 ? kBridgeDone
                                                                                : kBridgeRequestFailed;
}

}  // namespace CMNC
