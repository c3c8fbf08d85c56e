#pragma once
// The loading steps' time-outs, pauses and periods (capture, download, load driver, file upload,
// port test, boot-loader entry), each with its unit.

namespace CMNC::timing {

// Boot-loader capture
constexpr int kCaptureLimitMs = 45000;
constexpr int kResetPeriodMs = 10000;
constexpr int kCaptureWriteMs = 200;
constexpr int kCaptureReadMs = 50;
constexpr int kAfterResetCommandMs = 200;
constexpr int kAfterCaptureMs = 200;
constexpr int kBetweenAcksMs = 10;
constexpr int kVersionByteLimit = 1000;          // NAK bytes skipped before the version bytes at most

// Boot-loader download
constexpr int kEndAckWaitMs = 2500;
constexpr int kDrainBeforeAckMs = 30000;         // output drain before the checksum acknowledgement

// Load driver
constexpr int kBeforeRebootWaitMs = 500;
constexpr int kRebootPollMs = 200;
constexpr int kRebootPolls = 100;

// File upload
constexpr int kAfterRemoveMs = 1000;
constexpr int kAfterPutMs = 1000;
constexpr int kFldAnswerPolls = 100;             // p = 2, 4, ... 200
constexpr int kFldAnswerReadMs = 200;
constexpr int kFldAnswerRestMs = 100;
constexpr int kStoredFlashRebootSteps = 100;     // 100 x 180 ms = 18 s
constexpr int kStoredFlashRebootStepMs = 180;
constexpr int kStoredFlashReconnects = 20;
constexpr int kStoredFlashReconnectPauseMs = 1000;
constexpr int kStreamFlashRebootSteps = 100;     // 100 x 100 ms = 10 s
constexpr int kStreamFlashRebootStepMs = 100;
constexpr int kStreamFlashReconnects = 40;
constexpr int kStreamFlashReconnectPauseMs = 500;
constexpr int kAbortCheckMs = 100;               // longest sleep between two abort checks

// Port test
constexpr int kProbeReadMs = 1500;
constexpr int kProbeGapMs = 100;
constexpr int kIdentityReadMs = 500;
constexpr int kIdentityGapMs = 50;
constexpr int kAfterRateCommandMs = 500;
constexpr int kPortTestPasses = 3;
constexpr int kPortTestAttempts = 5;

// Wizard
constexpr int kAfterSoftResetMs = 300;
constexpr int kPowerSwitchOffMs = 20;
constexpr int kPowerSwitchOnMs = 300;

}  // namespace CMNC::timing
