#pragma once
#include <termios.h>

namespace CMNC {

// The termios constant for a line speed in bit/s; B0 when the tty layer has none for it.
speed_t SpeedConstantFor(int rate);
// The line speed in bit/s of a termios constant; 0 when it is not one of the known speeds.
int RateOfSpeedConstant(speed_t speed);

}  // namespace CMNC
