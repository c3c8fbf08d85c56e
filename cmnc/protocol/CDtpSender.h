#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "Clock.h"

class CommandChannel;

namespace CMNC {

// Sending side of the DTP block transfer: fixed-size blocks framed with a type byte, a number
// and a CRC-16 chained from the previous acknowledged block; one acknowledgement per frame.
// Construction runs the handshake (waits for the receiver's NAK); then Write, then Finish.
class CDtpSender {
 public:
  enum class State : int { None = 0, Wait = 1, Timeout = 2, Aborted = 3 };

  static constexpr int kLineReplyGap = -1;  // a reply ends a few character times after its last byte

  // replyGapMs: on serial links, how long the line must stay quiet after a reply's last byte
  // before the reply is judged (kLineReplyGap: a few character times of the line; 50 is the
  // gap floor of the serial link's ordinary reads). Other links read replies their own way.
  CDtpSender(CommandChannel* channel, int blockSize, Clock& clock = Clock::system(), int replyGapMs = kLineReplyGap);
  virtual ~CDtpSender();
  CDtpSender(const CDtpSender&) = delete;
  CDtpSender& operator=(const CDtpSender&) = delete;

  // Adds bytes; returns how many were taken, or -1 when the state is not Wait.
  int Write(const uint8_t* data, int size);
  // Sends the last block; true on success.
  bool Finish();
  // Builds and writes one frame; type 0x23 writes the single abort byte.
  bool SendFrame(uint8_t type, uint16_t number, uint16_t crc);
  std::string GetStateName() const;

  State state() const { return state_; }
  bool endAcknowledged() const { return endAcknowledged_; }
  int blockSize() const { return blockSize_; }

  // The CRC of one frame's type, number and block bytes, continued from the running CRC.
  static uint16_t FrameCrc(uint16_t running, uint8_t type, uint16_t number, const uint8_t* block, int blockSize);

 private:
  void Handshake();
  uint8_t WaitReply();
  bool SendBlock(uint8_t type);

  CommandChannel* channel_;
  Clock& clock_;
  uint16_t runningCrc_ = 0;
  std::vector<uint8_t> block_;
  int blockSize_;
  int replyGapUs_;
  int fill_ = 0;
  uint16_t counter_ = 0;
  State state_ = State::None;
  bool endAcknowledged_ = false;
  bool finishing_ = false;
  bool linkFailed_ = false;  // a read failed: the link is gone or the run was stopped
  std::vector<uint8_t> frame_;
};

}  // namespace CMNC
