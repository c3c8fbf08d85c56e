#pragma once
#include <cstdint>
#include <vector>

// The layout of the images the virtual receiver and the sample generator agree on: a
// four-character kind at offset 0, the total length (big-endian) at offset 4, the loader version
// at offset 8 and the hardware version at offset 16 (".ldr" layout); ".ldp" images built here
// use the same first eight bytes and carry their hardware version at offset 19.
struct RamImageHeader {
  enum class Kind { Unknown, Loader, Board, Firmware };
  bool known = false;
  Kind kind = Kind::Unknown;
  std::size_t length = 0;
  uint32_t loaderVersion = 0;

  static RamImageHeader parse(const std::vector<uint8_t>& bytes);
  // The boot loader's RAM image checksum.
  static uint32_t checksum(const std::vector<uint8_t>& bytes);
};
