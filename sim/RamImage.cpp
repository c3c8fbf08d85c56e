#include "RamImage.h"

#include <cstring>

namespace {
uint32_t bigEndian(const uint8_t* p) { return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]; }
constexpr std::size_t kMaxLength = 256u << 20;
}  // namespace

RamImageHeader RamImageHeader::parse(const std::vector<uint8_t>& bytes) {
  RamImageHeader h;
  if (bytes.size() < 8) return h;
  if (std::memcmp(bytes.data(), "VRLD", 4) == 0) h.kind = Kind::Loader;
  else if (std::memcmp(bytes.data(), "VRBD", 4) == 0) h.kind = Kind::Board;
  else if (std::memcmp(bytes.data(), "VRFW", 4) == 0) h.kind = Kind::Firmware;
  else return h;
  h.length = bigEndian(bytes.data() + 4);
  if (h.length < 20 || h.length > kMaxLength) return RamImageHeader{};
  h.known = true;
  if (bytes.size() >= 12) h.loaderVersion = bigEndian(bytes.data() + 8);
  return h;
}

uint32_t RamImageHeader::checksum(const std::vector<uint8_t>& bytes) {
  uint32_t value = 0;
  for (uint8_t b : bytes) value = ((value << 7) | (value >> 25)) ^ b;
  return value;
}
