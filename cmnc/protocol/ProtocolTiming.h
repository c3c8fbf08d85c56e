#pragma once
// The receiver protocol's waits (block transfer, command channel), each with its unit.

namespace CMNC::timing {

// DTP block transfer
constexpr int kDtpReplyWaitMs = 40000;
constexpr int kDtpReplyAttempts = 20000;
constexpr int kDtpHandshakeMs = 20000;
constexpr int kDtpHandshakePauseMs = 100;
constexpr int kDiscardReadsLimit = 64;           // stale-input reads before a frame at most

// Command channel
constexpr int kFsInitAttempts = 100;
constexpr int kFsInitPauseMs = 100;

}  // namespace CMNC::timing
