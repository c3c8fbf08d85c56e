#pragma once
#include <cstdint>

namespace CMNC {

// Control of the output latch of the USB-serial bridge behind a serial port, by the bridge's
// vendor requests. Each call takes the file descriptor of an open serial port and returns:
enum BridgeStatus : int {
  kBridgeDone = 0,
  kBridgeInvalidHandle = 1,   // the handle is not an open port
  kBridgeRequestFailed = 3,   // no bridge behind the port, no permission, or the request failed
  kBridgeWrongPart = 4,       // the bridge is not of part number 3 (SetBridgeLatch only)
  kBridgePartQueryFailed = 255,  // the part-number query failed (SetBridgeLatch only)
};

constexpr int kInvalidHandle = -1;

// Whether the bridge driver reports its special configuration. On Linux no driver keeps such a
// record, so the flag is 0 whenever a bridge is found.
int QueryBridgeConfig(int handle, uint8_t& flag);
// The bridge's part number (vendor request 0xFF, value 0x370B, one byte).
int GetBridgePartNumber(int handle, uint8_t& partNumber);
// Drives the latch bits in mask to the levels in state (vendor request 0xFF, value 0x37E1).
int SetBridgeLatch(int handle, uint8_t mask, uint8_t state);

}  // namespace CMNC
