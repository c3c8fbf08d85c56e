#include "CUsbPort.h"

#include <libusb.h>

#include <algorithm>
#include <vector>

#include "Clock.h"
#include "Timing.h"

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

}  // namespace

CUsbPort::CUsbPort() { libusb_init(&context_); }

CUsbPort::~CUsbPort() {
  Close();
  if (context_) libusb_exit(context_);
}

bool CUsbPort::ParseAddress(const std::string& address, int& bus, std::string& ports) {
  if (address.rfind("usb:", 0) != 0) return false;
  const std::string rest = address.substr(4);
  const auto dash = rest.find('-');
  if (dash == std::string::npos || dash == 0 || dash + 1 >= rest.size()) return false;
  const std::string busText = rest.substr(0, dash);
  ports = rest.substr(dash + 1);
  if (busText.size() > 3 || busText.find_first_not_of("0123456789") != std::string::npos) return false;
  if (ports.find_first_not_of("0123456789.") != std::string::npos) return false;
  bus = std::stoi(busText);
  return true;
}

bool CUsbPort::Open(const std::string& address) {
  Close();
  if (aborted_) return false;  // a stopped port stays stopped
  int bus = 0;
  std::string ports;
  if (!context_) {
    SetErrorText("USB is not available on this computer.");
    return false;
  }
  if (!ParseAddress(address, bus, ports)) {
    SetErrorText("Not a USB device address: " + address + " (expected usb:BUS-PORT[.PORT...]).");
    return false;
  }
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(context_, &list);
  libusb_device* found = nullptr;
  for (ssize_t i = 0; i < count; ++i)
    if (libusb_get_bus_number(list[i]) == bus && portPath(list[i]) == ports) found = list[i];
  int rc = found ? libusb_open(found, &handle_) : LIBUSB_ERROR_NO_DEVICE;
  libusb_free_device_list(list, 1);
  if (rc != 0) {
    handle_ = nullptr;
    std::string text = std::string(libusb_strerror(static_cast<libusb_error>(rc))) + " (" + address + ")";
    if (rc == LIBUSB_ERROR_ACCESS)
      text += ". The receiver's USB device belongs to another user: install the udev rule from the README "
              "(/etc/udev/rules.d/70-vestrel.rules) and plug the receiver in again.";
    SetErrorText(text);
    return false;
  }
  std::vector<uint8_t> config(kMaxConfigBytes, 0);
  const int got = libusb_get_descriptor(handle_, LIBUSB_DT_CONFIG, 0, config.data(), kMaxConfigBytes);
  std::string error;
  if (got < 9 || !FindBulkEndpoints(config.data(), static_cast<std::size_t>(got), endpoints_, error)) {
    SetErrorText(got < 9 ? std::string("Can't initialize interfaces") : error);
    Close();
    return false;
  }
  libusb_set_auto_detach_kernel_driver(handle_, 1);
  rc = libusb_claim_interface(handle_, kInterface);
  if (rc != 0) {
    SetErrorText(std::string(libusb_strerror(static_cast<libusb_error>(rc))) + " (claim interface)");
    Close();
    return false;
  }
  return true;
}

void CUsbPort::Close() {
  if (!handle_) return;
  libusb_release_interface(handle_, kInterface);
  libusb_close(handle_);
  handle_ = nullptr;
}

bool CUsbPort::transferFailed(int rc) {
  if (rc == 0 || rc == LIBUSB_ERROR_TIMEOUT) return false;
  SetErrorText(rc == LIBUSB_ERROR_NO_DEVICE ? std::string("The receiver was unplugged.")
                                            : std::string(libusb_strerror(static_cast<libusb_error>(rc))));
  return true;
}

int CUsbPort::Read(uint8_t* buffer, int size, int timeoutMs, int /*intervalMs*/) {
  if (!handle_ || aborted_) return -1;
  if (size <= 0) return 0;
  const int total = timeoutMs < 0 ? timing::kUsbDefaultReadMs : std::max(timeoutMs, 1);
  Clock& clock = Clock::system();
  const int64_t deadline = clock.nowMs() + total;
  for (;;) {
    const int slice = static_cast<int>(std::clamp<int64_t>(deadline - clock.nowMs(), 1, timing::kUsbSliceMs));
    int transferred = 0;
    const int rc = libusb_bulk_transfer(handle_, endpoints_.in, buffer, size, &transferred, static_cast<unsigned>(slice));
    if (transferred > 0) return transferred;
    if (transferFailed(rc)) return -1;
    if (aborted_) return -1;
    if (clock.nowMs() >= deadline) return 0;
  }
}

int CUsbPort::Write(const uint8_t* data, int size, int /*timeoutMs*/) {
  if (!handle_ || aborted_) return -1;
  Clock& clock = Clock::system();
  const int64_t deadline = clock.nowMs() + timing::kUsbWriteMs;
  int done = 0;
  while (done < size) {
    int transferred = 0;
    const int rc = libusb_bulk_transfer(handle_, endpoints_.out, const_cast<uint8_t*>(data + done), size - done,
                                        &transferred, timing::kUsbSliceMs);
    done += transferred;
    if (transferFailed(rc)) return done > 0 ? done : -1;
    if (aborted_) return done > 0 ? done : -1;
    if (done < size && clock.nowMs() >= deadline) {
      SetErrorText("The receiver did not take data for 5 s.");
      break;
    }
  }
  return done;
}

bool CUsbPort::Purge(uint32_t flags) {
  if (flags & (kPurgeTxAbort | kPurgeRxAbort)) aborted_ = true;
  if (!(flags & kPurgeRxClear) || !handle_ || aborted_) return true;  // an abort touches the latch only
  Clock& clock = Clock::system();
  const int64_t deadline = clock.nowMs() + timing::kDrainLimitMs;
  int drained = 0;
  std::vector<uint8_t> chunk(1024);
  while (drained < timing::kDrainLimitBytes && clock.nowMs() < deadline) {
    const int n = Read(chunk.data(), static_cast<int>(chunk.size()), timing::kUsbDrainReadMs, 0);
    if (n <= 0) break;
    drained += n;
  }
  return true;
}

}  // namespace CMNC
