#include "LocalTime.h"

namespace stationtime {

bool civilOf(std::time_t when, std::tm& local) { return localtime_s(&local, &when) == 0; }

std::time_t instantOf(std::tm local) {
  local.tm_isdst = -1;
  return std::mktime(&local);
}

}  // namespace stationtime
