#pragma once
#include <memory>
#include <string>

#include "CAbstractReceiverPort.h"

namespace CMNC {

// A serial link (RS-232, USB-serial bridge, serial over Bluetooth, a pseudo-terminal), 8N1, no
// flow control: a tty device in raw mode on Linux (CSerialPortPosix.cpp), a COM device through the
// communications API on Windows (CSerialPortWindows.cpp).
//
// Read waits up to the total time-out for the first byte and then while bytes follow within the
// inter-byte gap: the gap is the larger of the interval and the character time, at least 50 ms;
// a negative interval takes the character time, a negative time-out 500 ms, a time-out of 0 polls.
// ReadReply, for the block transfer's one-byte answers, has no such floor: it ends as soon as the
// line has been quiet for a few character times after the answer.
class CSerialPort final : public CAbstractReceiverPort {
 public:
  CSerialPort();
  ~CSerialPort() override;
  CSerialPort(const CSerialPort&) = delete;
  CSerialPort& operator=(const CSerialPort&) = delete;

  bool IsOpen() const override;
  bool Open(const std::string& address) override;
  void Close() override;
  int Read(uint8_t* buffer, int size, int timeoutMs, int intervalMs) override;
  int Write(const uint8_t* data, int size, int timeoutMs) override;
  bool Purge(uint32_t flags) override;
  bool Drain(int timeoutMs) override;
  int ReadReply(uint8_t* buffer, int size, int timeoutMs, int gapUs) override;
  Capabilities capabilities() const override { return {true, true, false, true}; }
  bool SetLineRate(int rate) override { return SetSpeed(rate); }
  int SetBridgeLatch(uint8_t mask, uint8_t state) override;

  // Drain also waits for the line time of what was written: USB-serial bridges and
  // pseudo-terminals report an empty output queue while their own buffers still hold bytes.
  // Sets the line speed and the fixed line settings. False when closed or when the device
  // refuses the speed; the character time is recomputed in both cases while open.
  bool SetSpeed(int rate);

  int CharacterTimeMs() const { return characterTimeMs_; }
  // The gap that ends a reply read by default: a few character times at the line's rate.
  static int ReplyGapMicrosFor(int rate);

  // The device a port name stands for. Linux: "COMn" is /dev/ttyS(n-1) (any case), a name
  // without "/" lives under /dev/, anything else is kept as given. Windows: a name that does not
  // begin with a backslash gets "\\.\" before it (COM12 is opened as \\.\COM12).
  static std::string ResolveDevicePath(const std::string& name);
  // What tells one serial device from another, whatever it was called: Linux: the device number
  // of the node the name resolves to (a second node or link of the same device has the same),
  // else the resolved path; Windows: the port's name in capitals.
  static std::string DeviceIdentity(const std::string& name);
  // Character time in ms for a rate: 2 x max((rate + 319999) / rate, 2).
  static int CharacterTimeFor(int rate);

 private:
  struct Private;  // the system's handle and what goes with it, in the platform's file
  std::unique_ptr<Private> d_;
  int characterTimeMs_ = 50;
  int rate_ = 0;
};

}  // namespace CMNC
