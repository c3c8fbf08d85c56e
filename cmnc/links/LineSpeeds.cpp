#include "LineSpeeds.h"

#include <utility>

namespace CMNC {
namespace {

constexpr std::pair<int, speed_t> kSpeeds[] = {
    {1200, B1200},     {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},
    {38400, B38400},   {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},
    {500000, B500000}, {921600, B921600},   {1000000, B1000000}, {1500000, B1500000}, {2000000, B2000000},
    {3000000, B3000000}};

}  // namespace

speed_t SpeedConstantFor(int rate) {
  for (const auto& [r, s] : kSpeeds)
    if (r == rate) return s;
  return B0;
}

int RateOfSpeedConstant(speed_t speed) {
  for (const auto& [r, s] : kSpeeds)
    if (s == speed) return r;
  return 0;
}

}  // namespace CMNC
