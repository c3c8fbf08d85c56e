#pragma once
#include <ctime>

// The station's own time zone, as the system knows it (TZ, /etc/localtime, the Windows settings).
namespace stationtime {
// The local calendar time of an instant; false when the system cannot tell it.
bool civilOf(std::time_t when, std::tm& local);
// The instant of a local calendar time (its tm_isdst -1: the system decides); -1 when there is none.
std::time_t instantOf(std::tm local);
}  // namespace stationtime
