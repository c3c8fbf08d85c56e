#pragma once
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "CAbstractReceiverPort.h"
#include "CommandChannel.h"
#include "FakeClock.h"

// A scriptable port: what the loader writes is captured and handed to a responder, which queues
// the receiver's answer; reads take queued bytes. It can stall (reads return nothing), refuse
// writes, or take only part of each write. It keeps an abort latch as the real links do: after a
// Purge with the abort flags every Open, Read and Write fails.
//
// As a serial link (serialLike), each feed is one burst of bytes that followed each other on the
// line, the next burst coming burstSpacingUs later: ReadReply with a shorter gap takes one burst,
// a longer gap (or Read, with its 50 ms floor) everything queued; a poll (time-out 0) takes
// what is queued and never waits for more.
class FakePort final : public CMNC::CAbstractReceiverPort {
 public:
  using Responder = std::function<void(const uint8_t* data, int size, FakePort& port)>;

  explicit FakePort(FakeClock* clock = nullptr) : clock_(clock) {}

  bool IsOpen() const override { return open_; }
  bool Open(const std::string& address) override;
  void Close() override { open_ = false; }
  int Read(uint8_t* buffer, int size, int timeoutMs, int intervalMs) override;
  int ReadReply(uint8_t* buffer, int size, int timeoutMs, int gapUs) override;
  Capabilities capabilities() const override { return {false, bridge, false, serialLike}; }
  int SetBridgeLatch(uint8_t mask, uint8_t state) override {
    latches.emplace_back(mask, state);
    return 0;  // done
  }
  int Write(const uint8_t* data, int size, int timeoutMs) override;
  bool Purge(uint32_t flags) override;

  void feed(const std::vector<uint8_t>& bytes);
  void feed(const std::string& text);
  std::vector<uint8_t> written() const;
  std::string writtenText() const;
  std::vector<int> writeSizes() const;

  Responder responder;
  // Called by a read that finds nothing queued (before it gives up), e.g. to answer a handshake.
  std::function<void(FakePort&)> whenEmpty;
  // Called inside Open and inside a Purge that clears queues, e.g. to block like a slow link.
  std::function<void(FakePort&)> whileOpening, whilePurging;
  bool aborted() const { return aborted_.load(); }
  int maxPerWrite = -1;      // accept at most this many bytes per Write call
  bool failOpen = false;
  bool failWrites = false;
  int purges = 0;
  bool serialLike = false;
  bool bridge = false;                               // a USB-serial bridge with an output latch behind it
  std::vector<std::pair<uint8_t, uint8_t>> latches;  // every latch change: mask and state
  int burstSpacingUs = 10000;
  std::vector<int> replyGaps;  // the gap of every ReadReply

 private:
  FakeClock* clock_;
  bool open_ = false;
  std::atomic<bool> aborted_{false};
  mutable std::mutex mutex_;
  int readQueued(uint8_t* buffer, int size, int timeoutMs, bool oneBurst);
  int take(uint8_t* buffer, int size, bool oneBurst);  // with mutex_ held
  std::deque<uint8_t> incoming_;
  std::deque<std::size_t> bursts_;  // sizes of the queued bursts, front first
  std::vector<uint8_t> written_;
  std::vector<int> writeSizes_;
};

// A channel whose ports are FakePorts; port() gives the last one created.
class FakeChannel {
 public:
  explicit FakeChannel(FakeClock* clock = nullptr);
  bool connect();
  CommandChannel channel;
  FakePort* port = nullptr;
  FakePort::Responder responder;
  std::function<void(FakePort&)> whileOpening;
  std::function<void()> whenCreated;  // a port was made, before the channel can reach it
  int maxPerWrite = -1;
};
