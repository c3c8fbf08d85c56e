#pragma once
#include <cstdint>

// The USB-serial bridge's output latch lines as the receiver's cable wires them.
namespace bridgelines {

constexpr uint8_t kReady = 0x02;  // raised for the port test and while the power is switched
constexpr uint8_t kPower = 0x04;  // high cuts the receiver's power, low restores it

}  // namespace bridgelines
