#include "CDtpSender.h"

#include <algorithm>
#include <cstring>

#include "CommandChannel.h"
#include "Crc16.h"
#include "DtpBytes.h"
#include "ProtocolTiming.h"

namespace CMNC {

CDtpSender::CDtpSender(CommandChannel* channel, int blockSize, Clock& clock, int replyGapMs)
    : channel_(channel),
      clock_(clock),
      block_(dtp::kMaxBlockSize, 0),
      blockSize_(std::clamp(blockSize, 1, dtp::kMaxBlockSize)),
      replyGapUs_(replyGapMs < 0 ? -1 : replyGapMs * 1000),
      frame_(static_cast<size_t>(blockSize_ + dtp::kFrameOverhead), 0) {
  Handshake();
}

CDtpSender::~CDtpSender() = default;

uint16_t CDtpSender::FrameCrc(uint16_t running, uint8_t type, uint16_t number, const uint8_t* block, int blockSize) {
  const uint8_t head[3] = {type, static_cast<uint8_t>(number & 0xFF), static_cast<uint8_t>(number >> 8)};
  uint16_t crc = Crc16Update(running, head, sizeof head);
  return Crc16Update(crc, block, static_cast<size_t>(blockSize));
}

uint8_t CDtpSender::WaitReply() {
  const int64_t deadline = clock_.nowMs() + timing::kDtpReplyWaitMs;
  uint8_t last = dtp::kNothing;
  for (int attempt = 0; attempt < timing::kDtpReplyAttempts && clock_.nowMs() < deadline; ++attempt) {
    if (!channel_->IsConnected()) {
      last = dtp::kNothing;
      // A closed link cannot answer; waiting the whole time out would only hold up the run.
      break;
    }
    uint8_t buffer[32];
    int n = channel_->ReadReply(buffer, sizeof buffer, -1, replyGapUs_);
    if (n <= 0) {
      last = dtp::kNothing;
      if (n < 0) {  // failed or aborted link: no answer can come
        linkFailed_ = true;
        break;
      }
      continue;
    }
    // Judged by the last byte only.
    last = buffer[n - 1];
    if (last == dtp::kAck || last == dtp::kNak) return last;
    if (last >= dtp::kRefuseFirst && last <= dtp::kRefuseLast) {
      state_ = State::Aborted;
      return last;
    }
    if (last == dtp::kEndAck && finishing_) {
      endAcknowledged_ = true;
      return dtp::kAck;
    }
  }
  return last;
}

void CDtpSender::Handshake() {
  if (channel_->IsConnected()) channel_->Purge(kPurgeRxClear);
  state_ = State::None;
  fill_ = 0;
  counter_ = 0;
  runningCrc_ = 0;
  const int64_t deadline = clock_.nowMs() + timing::kDtpHandshakeMs;
  while (clock_.nowMs() < deadline) {
    if (WaitReply() == dtp::kNak) {
      state_ = State::Wait;
      return;
    }
    if (!channel_->IsConnected() || linkFailed_) break;
    clock_.sleepMs(timing::kDtpHandshakePauseMs);
  }
  if (state_ == State::None) state_ = State::Timeout;
}

bool CDtpSender::SendFrame(uint8_t type, uint16_t number, uint16_t crc) {
  if (type == dtp::kAbortFrame) {
    const uint8_t abortByte = dtp::kAbortFrame;
    return channel_->Write(&abortByte, 1) == 1;
  }
  uint8_t* f = frame_.data();
  f[0] = type;
  f[1] = static_cast<uint8_t>(number & 0xFF);
  f[2] = static_cast<uint8_t>(number >> 8);
  std::memcpy(f + 3, block_.data(), static_cast<size_t>(blockSize_));
  f[3 + blockSize_] = static_cast<uint8_t>(crc & 0xFF);
  f[4 + blockSize_] = static_cast<uint8_t>(crc >> 8);
  f[5 + blockSize_] = dtp::kFrameEnd;
  const int size = blockSize_ + dtp::kFrameOverhead;
  return channel_->Write(f, size) == size;
}

bool CDtpSender::SendBlock(uint8_t type) {
  const uint16_t number = type == dtp::kDataBlock ? counter_ : static_cast<uint16_t>(fill_);
  std::memset(block_.data() + fill_, 0, static_cast<size_t>(blockSize_ - fill_));
  const uint16_t crc = FrameCrc(runningCrc_, type, number, block_.data(), blockSize_);
  uint8_t reply = dtp::kNothing;
  for (int attempt = 0; attempt < 3; ++attempt) {
    // A reply read that ends right after its byte leaves anything that trails it (a repeated
    // answer, line noise) in the queue; it must not pass for the answer to this frame.
    if (channel_->HasReplyGap()) channel_->DiscardInput();
    if (!SendFrame(type, number, crc)) {
      reply = dtp::kNothing;
      break;
    }
    reply = WaitReply();
    if (reply != dtp::kNak) break;
  }
  if (reply != dtp::kAck) return false;
  ++counter_;
  runningCrc_ = crc;
  fill_ = 0;
  return true;
}

int CDtpSender::Write(const uint8_t* data, int size) {
  if (state_ != State::Wait) return -1;
  int taken = 0;
  while (taken < size) {
    const int piece = std::min(size - taken, blockSize_ - fill_);
    std::memcpy(block_.data() + fill_, data + taken, static_cast<size_t>(piece));
    fill_ += piece;
    if (fill_ == blockSize_ && !SendBlock(dtp::kDataBlock)) {
      state_ = State::Timeout;
      return taken;
    }
    taken += piece;
  }
  return size;
}

bool CDtpSender::Finish() {
  finishing_ = true;
  switch (state_) {
    case State::Wait:
      if (SendBlock(dtp::kLastBlock)) {
        state_ = State::None;
        return true;
      }
      state_ = State::Timeout;
      return false;
    case State::Timeout:
      state_ = State::None;
      return true;
    case State::None:
      return true;
    default:
      return false;
  }
}

std::string CDtpSender::GetStateName() const {
  switch (state_) {
    case State::None: return "NONE";
    case State::Wait: return "WAIT";
    case State::Timeout: return "TIMEOUT";
    case State::Aborted: return "ABORTED";
    default: return "UNKNOWN";
  }
}

}  // namespace CMNC
