#pragma once
// The links' time-outs, pauses and periods, each with its unit.

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

// USB link
constexpr int kUsbDefaultReadMs = 500;
constexpr int kUsbWriteMs = 5000;
constexpr int kUsbDrainReadMs = 100;
constexpr int kUsbSliceMs = 100;                 // a bulk transfer waits at most this long between abort checks

}  // namespace CMNC::timing
