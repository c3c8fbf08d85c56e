#pragma once
#include <cstdint>

namespace CMNC::dtp {

// Frame types
constexpr uint8_t kDataBlock = 0x02;
constexpr uint8_t kLastBlock = 0x04;
constexpr uint8_t kFrameEnd = 0x03;
constexpr uint8_t kAbortFrame = 0x23;  // "#", sent alone
// Replies of the receiving side
constexpr uint8_t kNak = 0x15;       // ready (handshake) or resend (after a frame)
constexpr uint8_t kAck = 0x06;       // block accepted
constexpr uint8_t kEndAck = 0x1E;    // accepted and ended (only after the last block)
constexpr uint8_t kRefuseFirst = 0x21;  // 0x21..0x2F: the receiver gives up
constexpr uint8_t kRefuseLast = 0x2F;
constexpr uint8_t kNothing = 0xFF;   // no byte seen

constexpr int kMaxBlockSize = 32768;
constexpr int kFrameOverhead = 6;    // type, two number bytes, two CRC bytes, end byte

}  // namespace CMNC::dtp
