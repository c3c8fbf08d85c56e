#pragma once
#include <atomic>
#include <memory>
#include <string>

#include "CAbstractReceiverPort.h"
#include "UsbBackend.h"

namespace CMNC {

// A receiver's native USB port: interface 0 with a bulk IN and a bulk OUT endpoint, through the
// system's USB library (UsbBackend). The address is as the enumeration lists it: on Linux
// "BUS-PORT[.PORT...]", on Windows the device's interface path ("\\?\usb#vid_..."); "/port"
// writes it after "usb:".
//
// Every transfer is bounded: reads by their time-out (0 still waits 1 ms, negative means 500 ms),
// writes by 5 s; both run in 100 ms slices so that a purge with the abort flags ends them within
// one slice. A receive-queue purge drains with 100 ms reads, bounded by time and bytes.
class CUsbPort final : public CAbstractReceiverPort {
 public:
  CUsbPort();
  ~CUsbPort() override;
  CUsbPort(const CUsbPort&) = delete;
  CUsbPort& operator=(const CUsbPort&) = delete;

  bool IsOpen() const override { return backend_.isOpen(); }
  bool Open(const std::string& address) override;
  void Close() override;
  int Read(uint8_t* buffer, int size, int timeoutMs, int intervalMs) override;
  int Write(const uint8_t* data, int size, int timeoutMs) override;
  bool Purge(uint32_t flags) override;

  // "3-1.4" gives bus 3 and ports {1, 4}; false when the text is not such an address.
  static bool ParseAddress(const std::string& address, int& bus, std::string& ports);

 private:
  bool transferFailed(const UsbTransfer& transfer);
  UsbBackend backend_;
  std::atomic<bool> aborted_{false};
};

}  // namespace CMNC
