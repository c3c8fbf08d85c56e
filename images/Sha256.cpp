#include "Sha256.h"

#include <cctype>
#include <fstream>
#include <vector>

#include "InputFile.h"
#include "PathText.h"

namespace {
constexpr std::size_t kReadPieceBytes = 1 << 20;
constexpr std::size_t kDigestHexDigits = 64;
}  // namespace

std::string Sha256::of(const void* bytes, std::size_t count) {
  Sha256 digest;
  digest.update(bytes, count);
  return digest.hexDigest();
}

std::string Sha256::ofFile(const std::string& path, std::string& error, const std::function<bool()>& stopped) {
  error = inputfile::notRegularFile(path, "The file");
  if (!error.empty()) return {};
  std::ifstream file(pathtext::fromUtf8(path), std::ios::binary);
  if (!file) {
    error = "Cannot read " + path + " for its digest.";
    return {};
  }
  Sha256 digest;
  std::vector<char> piece(kReadPieceBytes);
  while (file) {
    if (stopped && stopped()) {
      error = "The digest of " + path + " was stopped.";
      return {};
    }
    file.read(piece.data(), static_cast<std::streamsize>(piece.size()));
    digest.update(piece.data(), static_cast<std::size_t>(file.gcount()));
  }
  if (!file.eof()) {
    error = "Cannot read " + path + " for its digest.";
    return {};
  }
  return digest.hexDigest();
}

std::string normalisedSha256(const std::string& text) {
  if (text.size() != kDigestHexDigits) return {};
  std::string lower;
  for (const char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
    lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return lower;
}

namespace sha256detail {
std::string hexOf(const unsigned char* bytes, std::size_t count) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}
}  // namespace sha256detail
