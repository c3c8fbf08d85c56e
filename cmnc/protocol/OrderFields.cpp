#include "OrderFields.h"

#include <algorithm>
#include <cctype>

#include "Utf8.h"

namespace orderfields {
namespace {

bool isControl(uint32_t codePoint) { return codePoint < 0x20 || (codePoint >= 0x7F && codePoint < 0xA0); }

// The number of characters of value, or -1 when it is no UTF-8 or holds a control character.
long long charactersOf(const std::string& value) {
  long long count = 0;
  for (std::size_t i = 0; i < value.size(); ++count) {
    const auto byte = static_cast<unsigned char>(value[i]);
    std::size_t length = 1;
    uint32_t codePoint = byte;
    if (byte >= 0x80) {
      length = utf8::sequenceLength(value, i);
      if (length == 0) return -1;
      codePoint = utf8::codePoint(value, i, length);
    }
    if (isControl(codePoint) || codePoint == 0x2028 || codePoint == 0x2029) return -1;
    i += length;
  }
  return count;
}

}  // namespace

std::string refusal(const std::string& option, const std::string& value) {
  const long long characters = charactersOf(value);
  if (characters < 0)
    return option + " takes printable text: the value holds a control character or is no UTF-8.";
  if (characters == 0) return option + " takes a text, but it is empty.";
  if (characters > static_cast<long long>(kMaxChars))
    return option + " takes at most " + std::to_string(kMaxChars) + " characters; the value has " +
           std::to_string(characters) + ".";
  return "";
}

bool sameReceiverId(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string logLines(const OrderFields& fields) {
  std::string lines;
  const std::pair<const char*, const std::string*> named[] = {{"Receiver ordered: ", &fields.receiverId},
                                                              {"Work order: ", &fields.workOrder},
                                                              {"Operator: ", &fields.operatorName},
                                                              {"Lot: ", &fields.lot}};
  for (const auto& [label, value] : named)
    if (!value->empty()) lines += label + *value + "\r\n";
  return lines;
}

}  // namespace orderfields
