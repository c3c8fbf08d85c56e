#pragma once
#include <cstdint>
#include <string>

namespace CMNC {

// Purge flags, the same for every link.
enum PurgeFlags : uint32_t {
  kPurgeTxAbort = 1,  // abort pending transmission
  kPurgeRxAbort = 2,  // abort pending reception
  kPurgeTxClear = 4,  // clear the transmit queue
  kPurgeRxClear = 8,  // clear the receive queue
};

// The byte pipe to a receiver. Every link (serial, TCP/IP, USB, Bluetooth) derives from it.
//
// Threads: a port is used by one thread at a time (the wizard's thread while testing, then the
// worker thread for a run), with one exception: Purge with the abort flags (1, 2) may be called
// from any thread while another thread is blocked in Read, Write or Drain, and ends that call at
// once. After such an abort every Read, Write, Drain and Open fails with -1/false for the rest of
// the port object's life (an abort during Open ends it early), so a worker that keeps calling
// cannot block the stop that follows; the channel makes a new port for every connection.
//
// Errors: no operation throws. Failures return -1 or false and, where the system can explain
// them, leave a text in GetErrorText().
class CAbstractReceiverPort {
 public:
  virtual ~CAbstractReceiverPort();

  // True while the link is usable. Non-blocking.
  virtual bool IsOpen() const = 0;

  // Opens the link named by address (a device path, "host:port:password", a USB or Bluetooth
  // address). Blocks for the link's connection time. Returns false with an error text on failure.
  // Opening an open port reopens it.
  virtual bool Open(const std::string& address) = 0;

  // Releases the link; harmless when closed. Non-blocking.
  virtual void Close() = 0;

  // Waits up to timeoutMs for the first byte, then keeps gathering while further bytes follow
  // within intervalMs, until size bytes are read. Negative values take the link's defaults;
  // a timeout of 0 returns what is already buffered. Blocks at most the timeout (plus the
  // interval gaps). Returns the count read (0 when nothing came), -1 when closed, failed or
  // aborted.
  virtual int Read(uint8_t* buffer, int size, int timeoutMs, int intervalMs) = 0;

  // Reads a short reply of the block transfer: waits up to timeoutMs (negative: the link's
  // default) for the first byte, then gathers further bytes only while they follow within
  // gapUs microseconds (negative: a few character times of the line), so a one-byte answer is
  // judged as soon as it is complete. Links without a line of their own (TCP/IP, USB,
  // Bluetooth) read as Read(buffer, size, timeoutMs, 0). Blocks and returns as Read.
  virtual int ReadReply(uint8_t* buffer, int size, int timeoutMs, int gapUs);

  // Sends size bytes within timeoutMs (negative: the link's default). Blocks at most that long.
  // Returns the count written (possibly short), -1 when closed, failed or aborted.
  virtual int Write(const uint8_t* data, int size, int timeoutMs) = 0;

  // Discards pending data by the purge flags. Non-blocking except for the receive-queue drain of
  // the socket and USB links, which is bounded in time and bytes. True when closed.
  virtual bool Purge(uint32_t flags) = 0;

  // Waits until everything written has left the computer, at most timeoutMs. Links without an
  // observable output queue return true at once. Aborted by Purge with the abort flags.
  virtual bool Drain(int timeoutMs);

  // What a link can do beyond moving bytes; the command channel asks this instead of looking at
  // the port's concrete type. Non-blocking, any thread.
  struct Capabilities {
    bool lineRate = false;     // SetLineRate changes the computer side's line speed (serial)
    bool bridgeLatch = false;  // SetBridgeLatch reaches a USB-serial bridge's output latch (serial)
    bool login = false;        // the link needs the login dialogue with LoginPassword (TCP/IP)
    bool replyGap = false;     // ReadReply ends a few character times after the reply (serial)
  };
  virtual Capabilities capabilities() const { return {}; }

  // Sets the line speed in bit/s. Blocks only for the device's reconfiguration; the thread that
  // uses the port. False when closed, refused by the device, or the link has no line rate.
  virtual bool SetLineRate(int rate);

  // Drives the latch bits in mask of the bridge behind the link to the levels in state; returns
  // a BridgeStatus code (kBridgeRequestFailed when the link has no bridge). Blocks for one USB
  // control transfer; the thread that uses the port.
  virtual int SetBridgeLatch(uint8_t mask, uint8_t state);

  // The password the login dialogue sends (links with login), else empty. Non-blocking.
  virtual std::string LoginPassword() const { return {}; }

  // A copy of the last error text. Never cleared by the port itself.
  std::string GetErrorText() const;
  // Replaces the error text (the channel adds what a failed login dialogue said).
  void SetErrorText(std::string text);

 private:
  std::string errorText_;
};

}  // namespace CMNC
