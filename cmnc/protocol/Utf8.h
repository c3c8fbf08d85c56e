#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace utf8 {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 sequence at s[i] (a byte of 0x80 or more), or 0.
std::size_t sequenceLength(const std::string& s, std::size_t i);
// The code point of the well-formed sequence of length n at s[i].
uint32_t codePoint(const std::string& s, std::size_t i, std::size_t n);

}  // namespace utf8
