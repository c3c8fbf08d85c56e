#include "UsbBackend.h"

#include <libusb.h>

#include <vector>

#include "CUsbPort.h"
#include "UsbDescriptors.h"

namespace CMNC {
namespace {

constexpr int kInterface = 0;
constexpr int kMaxConfigBytes = 512;

std::string portPath(libusb_device* device) {
  uint8_t numbers[8];
  const int n = libusb_get_port_numbers(device, numbers, sizeof numbers);
  std::string path;
  for (int i = 0; i < n; ++i) {
    if (i > 0) path += '.';
    path += std::to_string(numbers[i]);
  }
  return path;
}

std::string usbText(int rc) { return libusb_strerror(static_cast<libusb_error>(rc)); }

UsbTransfer outcome(int rc, int transferred) {
  UsbTransfer t;
  t.transferred = transferred;
  if (rc == 0) t.status = UsbTransfer::Status::Done;
  else if (rc == LIBUSB_ERROR_TIMEOUT) t.status = UsbTransfer::Status::Timeout;
  else if (rc == LIBUSB_ERROR_NO_DEVICE) t.status = UsbTransfer::Status::Unplugged;
  else {
    t.status = UsbTransfer::Status::Failed;
    t.error = usbText(rc);
  }
  return t;
}

}  // namespace

struct UsbBackend::Impl {
  libusb_context* context = nullptr;
  libusb_device_handle* handle = nullptr;
  UsbEndpoints endpoints;
};

UsbBackend::UsbBackend() : d_(std::make_unique<Impl>()) {
  if (libusb_init(&d_->context) != 0) d_->context = nullptr;
}

UsbBackend::~UsbBackend() {
  close();
  if (d_->context) libusb_exit(d_->context);
}

bool UsbBackend::available() const { return d_->context != nullptr; }
bool UsbBackend::isOpen() const { return d_->handle != nullptr; }

bool UsbBackend::open(const std::string& address, std::string& error) {
  int bus = 0;
  std::string ports;
  if (!CUsbPort::ParseAddress(address, bus, ports)) {
    error = "Not a USB device address: " + address + " (expected BUS-PORT[.PORT...]).";
    return false;
  }
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(d_->context, &list);
  libusb_device* found = nullptr;
  for (ssize_t i = 0; i < count; ++i)
    if (libusb_get_bus_number(list[i]) == bus && portPath(list[i]) == ports) found = list[i];
  int rc = found ? libusb_open(found, &d_->handle) : LIBUSB_ERROR_NO_DEVICE;
  libusb_free_device_list(list, 1);
  if (rc != 0) {
    d_->handle = nullptr;
    error = usbText(rc) + " (" + address + ")";
    if (rc == LIBUSB_ERROR_ACCESS)
      error += ". The receiver's USB device belongs to another user: install the udev rule from the README "
               "(/etc/udev/rules.d/70-vestrel.rules) and plug the receiver in again.";
    return false;
  }
  std::vector<uint8_t> config(kMaxConfigBytes, 0);
  const int got = libusb_get_descriptor(d_->handle, LIBUSB_DT_CONFIG, 0, config.data(), kMaxConfigBytes);
  if (got < 9 || !FindBulkEndpoints(config.data(), static_cast<std::size_t>(got), d_->endpoints, error)) {
    if (got < 9) error = "Can't initialize interfaces";
    close();
    return false;
  }
  libusb_set_auto_detach_kernel_driver(d_->handle, 1);
  rc = libusb_claim_interface(d_->handle, kInterface);
  if (rc != 0) {
    error = usbText(rc) + " (claim interface)";
    close();
    return false;
  }
  return true;
}

void UsbBackend::close() {
  if (!d_->handle) return;
  libusb_release_interface(d_->handle, kInterface);
  libusb_close(d_->handle);
  d_->handle = nullptr;
}

UsbTransfer UsbBackend::bulkIn(uint8_t* buffer, int size, int sliceMs) {
  int transferred = 0;
  const int rc = libusb_bulk_transfer(d_->handle, d_->endpoints.in, buffer, size, &transferred, static_cast<unsigned>(sliceMs));
  return outcome(rc, transferred);
}

UsbTransfer UsbBackend::bulkOut(const uint8_t* data, int size, int sliceMs) {
  int transferred = 0;
  const int rc = libusb_bulk_transfer(d_->handle, d_->endpoints.out, const_cast<uint8_t*>(data), size, &transferred,
                                      static_cast<unsigned>(sliceMs));
  return outcome(rc, transferred);
}

void UsbBackend::clearQueues(uint32_t /*flags*/) {}

}  // namespace CMNC
