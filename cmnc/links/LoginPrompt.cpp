#include "LoginPrompt.h"

#include <cstdint>

#include "SocketLink.h"
#include "LinkTiming.h"

namespace CMNC {

bool waitForPrompt(SocketLink& link, std::string& received, const char* prompt) {
  for (int i = 0; i < timing::kLoginPromptReads; ++i) {
    if (received.find(prompt) != std::string::npos) return true;
    uint8_t buffer[256];
    const int n = link.read(buffer, sizeof buffer, -1, -1);
    if (n < 0) return false;
    received.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
  }
  return received.find(prompt) != std::string::npos;
}

}  // namespace CMNC
