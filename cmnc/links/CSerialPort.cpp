// What the serial link computes the same way on every platform.
#include "CSerialPort.h"

#include <algorithm>
#include <cstdint>

#include "LinkTiming.h"

namespace CMNC {

int CSerialPort::CharacterTimeFor(int rate) {
  if (rate <= 0) return 50;
  int q = static_cast<int>((static_cast<int64_t>(rate) + 319999) / rate);
  return 2 * std::max(q, 2);
}

int CSerialPort::ReplyGapMicrosFor(int rate) {
  const int bitsPerCharacter = 10;  // start bit, 8 data bits, stop bit
  const int rateOrDefault = rate > 0 ? rate : timing::kSerialInitialRate;
  return static_cast<int>((static_cast<int64_t>(timing::kReplyGapCharacters) * bitsPerCharacter * 1000000 +
                           rateOrDefault - 1) / rateOrDefault);
}

}  // namespace CMNC
