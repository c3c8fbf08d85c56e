#pragma once
#include <cstddef>
#include <cstdint>

namespace CMNC {

// CRC-16 with the polynomial 0x1021, most significant bit first, no final XOR, continued from crc.
uint16_t Crc16Update(uint16_t crc, const uint8_t* data, std::size_t size);

}  // namespace CMNC
