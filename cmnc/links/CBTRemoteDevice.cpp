#include "CBTRemoteDevice.h"

#include <boost/tokenizer.hpp>
#include <cstdio>

namespace CMNC {
namespace {

constexpr std::size_t kAddressTextLength = 19;

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;  // any other character counts as 0
}

}  // namespace

uint64_t ParseDeviceAddress(const std::string& text) {
  if (text.size() != kAddressTextLength || text.front() != '(' || text.back() != ')') return 0;
  const std::string inner = text.substr(1, kAddressTextLength - 2);
  boost::char_separator<char> colon(":");
  boost::tokenizer<boost::char_separator<char>> pieces(inner, colon);
  uint64_t address = 0;
  int bytes = 0;
  for (const std::string& piece : pieces) {
    if (bytes == 6) break;
    if (piece.size() != 2) return 0;
    address = (address << 8) | static_cast<uint64_t>(hexDigit(piece[0]) * 16 + hexDigit(piece[1]));
    ++bytes;
  }
  return bytes == 6 ? address : 0;  // fewer than six groups has no address
}

std::string FormatDeviceAddress(uint64_t address) {
  char text[32];
  std::snprintf(text, sizeof text, "(%02X:%02X:%02X:%02X:%02X:%02X)", static_cast<unsigned>((address >> 40) & 0xFF),
                static_cast<unsigned>((address >> 32) & 0xFF), static_cast<unsigned>((address >> 24) & 0xFF),
                static_cast<unsigned>((address >> 16) & 0xFF), static_cast<unsigned>((address >> 8) & 0xFF),
                static_cast<unsigned>(address & 0xFF));
  return text;
}

void CBTRemoteDevice::Set(const std::string& name_, uint64_t address_, uint32_t classOfDevice_) {
  address = address_ & 0xFFFFFFFFFFFFull;
  addressText = FormatDeviceAddress(address);
  classOfDevice = classOfDevice_;
  name = name_.empty() ? addressText : name_;
}

}  // namespace CMNC
