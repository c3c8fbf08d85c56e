#include "JsonText.h"

#include <cstdio>

#include "Utf8.h"

namespace json {

std::string quoteOrNull(const std::string& s) { return s.empty() ? std::string("null") : quote(s); }

std::string quote(const std::string& s) {
  std::string out = "\"";
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80) {
      const std::size_t n = utf8::sequenceLength(s, i);
      const uint32_t cp = n ? utf8::codePoint(s, i, n) : 0;
      if (n && cp <= 0x9F) {  // C1 controls are escaped as C0 ones are
        char esc[8];
        std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned>(cp));
        out += esc;
      } else {
        out += n ? s.substr(i, n) : utf8::kReplacement;
      }
      i += n ? n : 1;
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04x", c);
          out += esc;
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  return out + "\"";
}

}  // namespace json
