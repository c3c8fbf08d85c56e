#pragma once
#include <array>
#include <cstdint>

namespace CMNC {

// USB vendor ids under which receivers with a native USB port enumerate.
constexpr std::array<uint16_t, 2> kReceiverVendorIds = {0x1209, 0x16D0};

inline bool IsReceiverVendor(uint16_t vendorId) {
  for (uint16_t id : kReceiverVendorIds)
    if (id == vendorId) return true;
  return false;
}

}  // namespace CMNC
