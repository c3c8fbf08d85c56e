// The port test's judgement of what came back after its probe.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ReceiverLanguage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const bool answered = CMNC::lang::IsProbeAnswer(bytes);
  // Only the last 18 bytes count: what stands before them never changes the judgement.
  const std::string before("\x15\x00garbage\r\n", 11);
  if (bytes.size() >= CMNC::lang::kProbeAnswerLength && CMNC::lang::IsProbeAnswer(before + bytes) != answered)
    __builtin_trap();
  // An answer is always a tagged reply with the probe's tag.
  std::string tag, body;
  if (answered && bytes.size() <= CMNC::lang::kProbeAnswerLength &&
      !(CMNC::lang::ParseReply(bytes, tag, body) && tag == CMNC::lang::kProbeTag))
    __builtin_trap();
  return 0;
}
