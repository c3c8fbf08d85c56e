// The tagged-reply parse and the rules built on it, with any bytes a receiver may send.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ReceiverLanguage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  std::string tag, body;
  const bool tagged = CMNC::lang::ParseReply(reply, tag, body);
  if (tagged && (tag.size() > reply.size() || body.size() > reply.size())) __builtin_trap();
  if (!tagged && body != reply) __builtin_trap();  // an untagged text is kept whole as the body
  CMNC::lang::FsInitAccepted(tag, body);
  CMNC::lang::FsInitAccepted(CMNC::lang::kFsInitTag, reply);
  const std::string trimmed = CMNC::lang::TrimBlanks(body);
  if (trimmed.size() > body.size()) __builtin_trap();
  CMNC::lang::IsLoginGreeting(tag);
  return 0;
}
