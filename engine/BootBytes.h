#pragma once
#include <cstdint>

// Bytes of the boot-loader link.
namespace bootbytes {
constexpr uint8_t kCapturePattern = 0x55;  // flooded to the receiver while waiting for its boot loader
constexpr uint8_t kNak = 0x15;             // from the boot loader: there and ready; checksum mismatch
constexpr uint8_t kAck = 0x06;             // to the boot loader, four times, to take it over
constexpr uint8_t kLoaded = 0x1E;          // RAM image accepted; flash image ended
constexpr uint8_t kGoOn = 0x01;            // decision byte: versions accepted
constexpr uint8_t kStop = 0x00;            // decision byte: versions refused
constexpr int kCaptureBlock = 1024;
constexpr int kRamPiece = 1024;
constexpr int kHandshakeAcks = 4;
constexpr int kHandshakeNaks = 3;
constexpr int kHandshakeOtherLimit = 10;
}  // namespace bootbytes
