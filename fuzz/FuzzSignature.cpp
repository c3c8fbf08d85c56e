// A distribution's signature file and a trusted key file, as a station reads them: any bytes a
// damaged or hostile file may hold. Each is a signature (a key) or refused, never a crash; what reads
// as one holds exactly the parts its lines carry. An order's field is judged the same way.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Minisign.h"
#include "OrderFields.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines(1);
  for (const char c : text) {
    if (c == '\n') lines.emplace_back();
    else lines.back() += c;
  }
  std::string error;
  minisign::Signature signature;
  if (minisign::parseSignature(lines, signature, error)) {
    const std::string id = signature.keyIdText();  // as minisign prints it: no leading zeros
    if (id.empty() || id.size() > 16 || (id.size() > 1 && id[0] == '0')) __builtin_trap();
    if (id.find_first_not_of("0123456789ABCDEF") != std::string::npos) __builtin_trap();
    if (lines[2].find(signature.trustedComment) == std::string::npos) __builtin_trap();
  } else if (error.empty()) {
    __builtin_trap();  // a refusal always says why
  }
  minisign::PublicKey key;
  if (!minisign::parsePublicKey(lines, key, error) && error.empty()) __builtin_trap();
  const std::string refusal = orderfields::refusal("--lot", text);
  if (refusal.empty() && (text.empty() || text.find('\n') != std::string::npos || text.find('\x1b') != std::string::npos))
    __builtin_trap();  // a field with a line break or an escape is never taken
  return 0;
}
