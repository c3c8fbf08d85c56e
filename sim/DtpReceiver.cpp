#include "DtpReceiver.h"

#include "CDtpSender.h"
#include "DtpBytes.h"

using namespace CMNC;

namespace {
constexpr int64_t kReadyNakPeriodMs = 1000;
constexpr int64_t kFrameGapMs = 1000;
}  // namespace

DtpReceiver::DtpReceiver(int blockSize, Faults faults, Send send)
    : blockSize_(blockSize), faults_(faults), send_(std::move(send)) {}

void DtpReceiver::reply(uint8_t byte) { send_(&byte, 1); }

void DtpReceiver::tick(int64_t nowMs) {
  if (status_ != Status::Receiving) return;
  if (!started_ && (lastNakMs_ < 0 || nowMs - lastNakMs_ >= kReadyNakPeriodMs)) {
    reply(dtp::kNak);
    lastNakMs_ = nowMs;
  }
  if (!frame_.empty() && nowMs - frameStartMs_ > kFrameGapMs) {
    frame_.clear();  // bytes were lost on the line: ask for the frame again
    reply(dtp::kNak);
  }
}

DtpReceiver::Status DtpReceiver::feed(const uint8_t* data, std::size_t size, int64_t nowMs) {
  const std::size_t frameSize = static_cast<std::size_t>(blockSize_ + dtp::kFrameOverhead);
  for (std::size_t i = 0; i < size && status_ == Status::Receiving; ++i) {
    if (frame_.empty()) {
      if (data[i] == dtp::kAbortFrame) {
        status_ = Status::Aborted;
        break;
      }
      if (data[i] != dtp::kDataBlock && data[i] != dtp::kLastBlock) continue;  // line noise
      started_ = true;
      frameStartMs_ = nowMs;
    }
    frame_.push_back(data[i]);
    if (frame_.size() == frameSize) checkFrame();
  }
  return status_;
}

void DtpReceiver::checkFrame() {
  std::vector<uint8_t> frame;
  frame.swap(frame_);
  const uint8_t type = frame[0];
  const uint16_t number = static_cast<uint16_t>(frame[1] | (frame[2] << 8));
  const uint16_t crc = static_cast<uint16_t>(frame[3 + blockSize_] | (frame[4 + blockSize_] << 8));
  const bool ended = frame[5 + blockSize_] == dtp::kFrameEnd;
  if (faults_.refuseCode) {
    reply(faults_.refuseCode);  // the receiver gives the transfer up
    status_ = Status::Failed;
    return;
  }
  if (faults_.corruptFrames > 0) {
    --faults_.corruptFrames;
    reply(dtp::kNak);
    return;
  }
  const uint8_t* block = frame.data() + 3;
  const bool good = ended && crc == CDtpSender::FrameCrc(runningCrc_, type, number, block, blockSize_) &&
                    (type == dtp::kLastBlock ? number < blockSize_ : number == counter_);
  if (!good) {
    // A frame sent again after its ACK was lost is acknowledged once more and not kept twice.
    const bool repeat = ended && type == dtp::kDataBlock && counter_ > 0 && number == counter_ - 1 &&
                        crc == CDtpSender::FrameCrc(previousCrc_, type, number, block, blockSize_);
    reply(repeat ? dtp::kAck : dtp::kNak);
    return;
  }
  if (faults_.nakFrames > 0) {
    --faults_.nakFrames;
    reply(dtp::kNak);
    return;
  }
  previousCrc_ = runningCrc_;
  runningCrc_ = crc;
  ++accepted_;
  if (type == dtp::kDataBlock) {
    bytes_.insert(bytes_.end(), block, block + blockSize_);
    ++counter_;
    reply(dtp::kAck);
    return;
  }
  bytes_.insert(bytes_.end(), block, block + number);
  status_ = Status::Done;
  reply(faults_.endWithEndAck ? dtp::kEndAck : dtp::kAck);
}
