#include "FirmwareChange.h"

std::string FirmwareChange::line() const {
  const std::string from = before.empty() ? "unknown (not asked before the load)" : before;
  const std::string why = missing.empty() ? "the receiver did not answer when asked after the load" : missing;
  const std::string to = after.empty() ? "not confirmed: " + why : after;
  return "Main firmware: " + from + " -> " + to;
}
