#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "CAbstractReceiverPort.h"
#include "PortEntry.h"

// The one object through which the loader talks to a receiver: at most one open link, the serial
// line rates, raw byte I/O, and the receiver's tagged text command language.
//
// Threads: one thread at a time uses the channel (the wizard's, then the worker's), except that
// Purge with the abort flags may be called from another thread to stop a run; the port's
// lifetime is guarded so that such a purge never touches a port being replaced or deleted, and
// the abort sticks: a connection that starts or is under way afterwards fails at once, until
// ResetAbort() before the next run.
class CommandChannel {
 public:
  using PortFactory = std::function<std::unique_ptr<CMNC::CAbstractReceiverPort>(ConnectionKind)>;

  static constexpr int kDefaultMaxWriteChunk = 32768;
  static constexpr int kReplyBufferSize = 10239;

  // The factory creates the port for a connection kind; the default creates the real links.
  explicit CommandChannel(PortFactory factory = {});
  ~CommandChannel();
  CommandChannel(const CommandChannel&) = delete;
  CommandChannel& operator=(const CommandChannel&) = delete;

  bool Connect(const PortEntry& entry);
  void Disconnect();
  bool IsConnected() const;
  // Drives the output latch of the USB-serial bridge behind the link (a BridgeStatus code;
  // kBridgeInvalidHandle when not connected, kBridgeRequestFailed when the link has none).
  int SetBridgeLatch(uint8_t mask, uint8_t state);
  bool SetRate(int rate, bool keepPrevious);

  // Reads with the port's default time-outs, a total time-out, or a total and a gap time-out
  // (negative values take the port's defaults). Every form zero-fills the buffer first and
  // returns the count read, 0 when nothing came, -1 when not connected, failed or aborted.
  int Read(uint8_t* buffer, int size);
  int Read(uint8_t* buffer, int size, int timeoutMs);
  int Read(uint8_t* buffer, int size, int timeoutMs, int intervalMs);
  // One short reply of the block transfer (see CAbstractReceiverPort::ReadReply); zero-fills
  // and returns as Read.
  int ReadReply(uint8_t* buffer, int size, int timeoutMs, int gapUs);
  // Reads and drops what has already arrived, without waiting. Returns the count dropped.
  int DiscardInput();
  // True when the link's reply read ends a few character times after the reply (serial).
  bool HasReplyGap() const;
  // The link has a line rate of its own (serial): SetRate changes what the wire carries.
  bool HasLineRate() const;
  int Write(const uint8_t* data, int size, int timeoutMs = -1);
  // The abort flags end every blocked call (from any thread, never waiting for a drain); the
  // clear flags empty the queues (the channel's own thread only).
  bool Purge(uint32_t flags);
  // Lets connections succeed again after an abort; called before a new run starts.
  void ResetAbort();
  // Waits until the written bytes have left the computer (serial links), at most timeoutMs.
  bool Drain(int timeoutMs);

  bool SendText(const std::string& text);
  // Reads once (negative values take the port's defaults) and returns the text up to the first
  // zero byte; empty when nothing came or not connected.
  std::string ReadText(int size, int timeoutMs = -1, int intervalMs = -1);
  // One read of at most size bytes as they came, zero bytes included; empty when none came.
  std::string ReadBytes(int size, int timeoutMs = -1, int intervalMs = -1);
  // Sends the command (when not empty) and reads one reply; true when some reply came.
  bool Query(const std::string& command, std::string& tag, std::string& body);
  bool CheckFsInit();
  // Asks up to 100 times, 100 ms apart; stops early (false) when shouldStop returns true.
  bool WaitFsInit(const std::function<bool()>& shouldStop = {});

  int currentRate() const { return currentRate_; }
  int previousRate() const { return previousRate_; }
  void setCurrentRate(int rate) { currentRate_ = rate; }
  const PortEntry& connection() const { return connection_; }
  ConnectionKind kind() const { return connection_.kind; }
  int maxWriteChunk() const { return maxWriteChunk_; }
  void setMaxWriteChunk(int bytes) { maxWriteChunk_ = bytes; }
  std::string lastError() const;
  // A read or a write on the link failed, or the link closed under it, and no stop asked for it:
  // the cable, the adapter or the network went away. Cleared by Connect. The channel's thread.
  bool linkFailed() const { return linkFailed_; }
  // Told of each command sent and each reply read, summarised on one line ("> print,...",
  // "< %tag%body"); a password never. Set and cleared while no other thread uses the channel.
  void setExchangeWatch(std::function<void(const std::string&)> watch);
  // The port, for the engine's raw use; null when disconnected.
  CMNC::CAbstractReceiverPort* port() const { return port_.get(); }

 private:
  bool Login();
  // Notes a link that failed under a read or a write; returns count.
  int watched(int count);
  std::unique_ptr<CMNC::CAbstractReceiverPort> MakePort(ConnectionKind kind) const;

  int currentRate_ = 115200;
  int previousRate_ = 115200;
  PortEntry connection_;
  int maxWriteChunk_ = kDefaultMaxWriteChunk;
  std::unique_ptr<CMNC::CAbstractReceiverPort> port_;
  CMNC::CAbstractReceiverPort* opening_ = nullptr;  // a port being opened, reachable by Purge
  bool abortRequested_ = false;                       // guarded by portMutex_
  std::string lastError_;
  bool linkFailed_ = false;
  std::function<void(const std::string&)> exchangeWatch_;
  PortFactory factory_;
  mutable std::mutex portMutex_;  // guards port_ replacement against a Purge from another thread
};
