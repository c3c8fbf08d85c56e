#pragma once
#include <cstdint>
#include <functional>
#include <vector>

// The receiving side of the DTP block transfer: answers NAK when ready (again every second until
// the first frame starts), checks each frame's number and CRC chained from the previous accepted
// frame, answers ACK or NAK, and collects the bytes up to the last block.
class DtpReceiver {
 public:
  enum class Status { Receiving, Done, Aborted, Failed };

  struct Faults {
    int nakFrames = 0;         // answer this many good frames with NAK first
    uint8_t refuseCode = 0;    // answer every frame with this refusal code (0x21..0x2F)
    bool endWithEndAck = false;  // answer the last block with 0x1E instead of ACK
    int corruptFrames = 0;     // treat this many frames as damaged on the line
  };

  using Send = std::function<void(const uint8_t*, std::size_t)>;

  DtpReceiver(int blockSize, Faults faults, Send send);

  // Feeds bytes from the line. Returns the status after them.
  Status feed(const uint8_t* data, std::size_t size, int64_t nowMs);
  // Time passes: resends the ready NAK and drops a frame that stopped arriving.
  void tick(int64_t nowMs);
  Status status() const { return status_; }
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  int framesAccepted() const { return accepted_; }

 private:
  void checkFrame();
  void reply(uint8_t byte);

  int blockSize_;
  Faults faults_;
  Send send_;
  Status status_ = Status::Receiving;
  std::vector<uint8_t> frame_;
  std::vector<uint8_t> bytes_;
  uint16_t runningCrc_ = 0;
  uint16_t previousCrc_ = 0;
  uint16_t counter_ = 0;
  bool started_ = false;
  int64_t lastNakMs_ = -1;
  int64_t frameStartMs_ = 0;
  int accepted_ = 0;
};
