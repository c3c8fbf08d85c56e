#include "PrintableText.h"

#include "Utf8.h"

namespace {

constexpr uint32_t kDelete = 0x7F;
constexpr uint32_t kC1First = 0x80, kC1Last = 0x9F;

bool isControl(uint32_t cp) { return (cp < 0x20 && cp != '\n' && cp != '\t') || cp == kDelete || (cp >= kC1First && cp <= kC1Last); }

}  // namespace

std::string printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::size_t n = c < 0x80 ? 1 : utf8::sequenceLength(text, i);
    if (n == 0 || isControl(n == 1 ? c : utf8::codePoint(text, i, n))) {
      out += utf8::kReplacement;
      i += n == 0 ? 1 : n;
      continue;
    }
    out.append(text, i, n);
    i += n;
  }
  return out;
}
