#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace CMNC {

// One bulk transfer's outcome.
struct UsbTransfer {
  enum class Status { Done, Timeout, Unplugged, Failed };
  Status status = Status::Done;
  int transferred = 0;  // also on a time-out: what moved before it
  std::string error;    // the system's text when Failed
};

// The system side of the USB link: libusb on Linux (UsbBackendLibusb.cpp), WinUSB loaded at run
// time from "winusb.dll" on Windows (UsbBackendWinusb.cpp). It opens a receiver's interface 0 and
// moves bytes over its bulk endpoints; the rules of the link (time-outs, slices, the abort) are
// CUsbPort's.
//
// Every call blocks the calling thread (the port's worker) at most for its slice; none is called
// from two threads at once.
class UsbBackend {
 public:
  UsbBackend();
  ~UsbBackend();
  UsbBackend(const UsbBackend&) = delete;
  UsbBackend& operator=(const UsbBackend&) = delete;

  // The system's USB library was found.
  bool available() const;
  // Opens the device at address (as the port enumeration lists it) and claims interface 0 with
  // its bulk endpoints; false with error set ("Not a USB device address: ...", the system's text
  // with the remedy where one is known, "Can't initialize interfaces").
  bool open(const std::string& address, std::string& error);
  void close();
  bool isOpen() const;
  UsbTransfer bulkIn(uint8_t* buffer, int size, int sliceMs);
  UsbTransfer bulkOut(const uint8_t* data, int size, int sliceMs);
  // The purge's queue flags (kPurgeTxClear, kPurgeRxClear): WinUSB flushes the pipes; libusb keeps
  // no queue of its own. A stop never comes here: its abort flags only set the port's latch.
  void clearQueues(uint32_t flags);

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace CMNC
