#pragma once
// Every time-out, pause and period of the loader, with its unit, in one place.

namespace CMNC::timing {

// Serial link
constexpr int kSerialMinGapMs = 50;              // smallest inter-byte gap a read waits for
constexpr int kSerialDefaultReadMs = 500;        // total read time-out when the caller asks for the default
constexpr int kSerialWriteMsPerByte = 10;        // default write time-out: per byte ...
constexpr int kSerialWriteConstMs = 100;         // ... plus this constant
constexpr int kSerialInitialRate = 115200;       // bit/s applied on open
constexpr int kReplyGapCharacters = 3;           // a block transfer's reply ends after this many quiet character times

// Socket links (TCP/IP, Bluetooth)
constexpr int kSocketDefaultReadMs = 10000;
constexpr int kSocketDefaultIntervalMs = 500;
constexpr int kSocketWritableWaitMs = 10000;
constexpr int kSocketPurgeReadMs = 500;
constexpr int kDrainLimitMs = 2000;              // a receive-queue drain stops after this long ...
constexpr int kDrainLimitBytes = 1 << 20;        // ... or after this many bytes
constexpr int kLoginPromptReads = 5;
constexpr int kTcpConnectMs = 10000;             // a TCP connection is given up after this long
constexpr int kNameLookUpMs = 10000;             // a host name's look-up is given up after this long
constexpr int kBluetoothConnectMs = 30000;       // service search and connect of a Bluetooth device
constexpr int kAbortSliceMs = 10;                // Windows: a socket wait looks at the abort latch this often

// USB link
constexpr int kUsbDefaultReadMs = 500;
constexpr int kUsbWriteMs = 5000;
constexpr int kUsbDrainReadMs = 100;
constexpr int kUsbSliceMs = 100;                 // a bulk transfer waits at most this long between abort checks

// DTP block transfer
constexpr int kDtpReplyWaitMs = 40000;
constexpr int kDtpReplyAttempts = 20000;
constexpr int kDtpHandshakeMs = 20000;
constexpr int kDtpHandshakePauseMs = 100;
constexpr int kDiscardReadsLimit = 64;           // stale-input reads before a frame at most

// Command channel
constexpr int kFsInitAttempts = 100;
constexpr int kFsInitPauseMs = 100;

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
