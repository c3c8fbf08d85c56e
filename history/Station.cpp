#include "Station.h"

#include <cstdio>
#include <cstdlib>
#include <random>

namespace station {

std::string name() {
  const char* named = std::getenv("VESTREL_STATION");
  return named && *named ? std::string(named) : hostName();
}

std::string newUuid() {
  std::random_device entropy;
  std::mt19937_64 generator((static_cast<uint64_t>(entropy()) << 32) ^ entropy());
  uint8_t bytes[16];
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(generator());
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // the RFC 4122 variant
  char text[37];
  std::snprintf(text, sizeof text, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10],
                bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return text;
}

}  // namespace station
