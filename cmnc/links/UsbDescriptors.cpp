#include "UsbDescriptors.h"

namespace CMNC {
namespace {

constexpr uint8_t kConfigurationType = 2;
constexpr uint8_t kInterfaceType = 4;
constexpr uint8_t kEndpointType = 5;
constexpr uint8_t kTransferMask = 3;
constexpr uint8_t kBulk = 2;
constexpr uint8_t kInterrupt = 3;
constexpr uint8_t kDirectionIn = 0x80;
const char kNotFound[] = "2 endpoints were not found.";
const char kDamaged[] = "Can't initialize interfaces";

}  // namespace

bool FindBulkEndpoints(const uint8_t* config, std::size_t size, UsbEndpoints& endpoints, std::string& error) {
  endpoints = UsbEndpoints{};
  if (!config || size < 9 || config[0] < 9 || config[1] != kConfigurationType) {
    error = kDamaged;
    return false;
  }
  const std::size_t total = std::min<std::size_t>(size, static_cast<std::size_t>(config[2] | (config[3] << 8)));
  bool inInterface0 = false;
  for (std::size_t at = config[0]; at + 2 <= total;) {
    const uint8_t length = config[at];
    const uint8_t type = config[at + 1];
    if (length < 2 || at + length > total) {  // a length that would stall or overrun the walk
      error = kDamaged;
      return false;
    }
    if (type == kInterfaceType && length >= 9) {
      const bool wanted = config[at + 2] == 0 && config[at + 3] == 0;
      if (inInterface0 && !wanted) break;  // interface 0 ended
      inInterface0 = wanted;
    } else if (type == kEndpointType && inInterface0) {
      if (length < 7) {
        error = kDamaged;
        return false;
      }
      const uint8_t address = config[at + 2];
      const uint8_t kind = config[at + 3] & kTransferMask;
      const uint16_t packet = static_cast<uint16_t>(config[at + 4] | (config[at + 5] << 8));
      if (kind == kBulk && (address & kDirectionIn) && !endpoints.in) {
        endpoints.in = address;
        endpoints.inPacket = packet;
      } else if (kind == kBulk && !(address & kDirectionIn) && !endpoints.out) {
        endpoints.out = address;
        endpoints.outPacket = packet;
      } else if (kind != kBulk && kind != kInterrupt) {
        error = kDamaged;
        return false;
      }
    }
    at += length;
  }
  if (!endpoints.in || !endpoints.out) {
    error = kNotFound;
    return false;
  }
  return true;
}

}  // namespace CMNC
