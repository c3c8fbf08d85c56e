#include "SystemError.h"

#include <cstring>

namespace CMNC {

std::string SystemMessage(int err) {
  char buffer[256] = {};
  // GNU strerror_r returns the message (possibly not in the buffer).
  const char* text = ::strerror_r(err, buffer, sizeof buffer);
  return text ? std::string(text) : "Error " + std::to_string(err);
}

}  // namespace CMNC
