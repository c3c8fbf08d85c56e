#include "Minisign.h"

#include <sodium.h>

#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <memory>

#include "PathText.h"

namespace minisign {
namespace {

constexpr char kUntrusted[] = "untrusted comment:";
constexpr char kTrusted[] = "trusted comment: ";
constexpr std::size_t kReadPiece = 1 << 20;  // bytes read at once

bool startsWith(const std::string& text, const char* head) { return text.rfind(head, 0) == 0; }

bool libraryReady() {
  static const bool ready = sodium_init() >= 0;
  return ready;
}

std::vector<uint8_t> base64(const std::string& text) {
  if (text.empty()) return {};  // the library takes no empty buffer
  std::vector<uint8_t> bytes(text.size());
  std::size_t length = 0;
  if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &length, nullptr,
                        sodium_base64_VARIANT_ORIGINAL) != 0)
    return {};
  bytes.resize(length);
  return bytes;
}

// A line without the blanks a text editor or another system may leave at its end.
std::string trimmed(std::string line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
  return line;
}

std::string hexOfId(const std::array<uint8_t, 8>& id) {
  // minisign prints the id as a little-endian 64-bit number without leading zeros (a key file's
  // comment and minisign's messages), so an operator finds the same text in both
  uint64_t number = 0;
  for (std::size_t i = id.size(); i-- > 0;) number = number << 8 | id[i];
  char digits[17];
  std::snprintf(digits, sizeof digits, "%" PRIX64, number);
  return digits;
}

// The file's bytes fed to feed in pieces; false when it cannot be read or was stopped.
Verdict readPieces(const std::string& path, const std::function<bool()>& stopped,
                   const std::function<void(const uint8_t*, std::size_t)>& feed, std::string& error) {
  std::ifstream in(pathtext::fromUtf8(path), std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return Verdict::Unreadable;
  }
  std::vector<char> piece(kReadPiece);
  while (in) {
    if (stopped && stopped()) return Verdict::Stopped;
    in.read(piece.data(), static_cast<std::streamsize>(piece.size()));
    if (in.gcount() > 0) feed(reinterpret_cast<const uint8_t*>(piece.data()), static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) {
    error = "cannot read " + path;
    return Verdict::Unreadable;
  }
  return Verdict::Good;
}

}  // namespace

std::string PublicKey::idText() const { return hexOfId(id); }
std::string Signature::keyIdText() const { return hexOfId(keyId); }

bool parsePublicKey(const std::vector<std::string>& lines, PublicKey& key, std::string& error) {
  std::size_t i = 0;
  while (i < lines.size() && (trimmed(lines[i]).empty() || startsWith(lines[i], kUntrusted))) ++i;
  if (!libraryReady()) {
    error = "the signature library cannot start";
    return false;
  }
  const std::vector<uint8_t> bytes = i < lines.size() ? base64(trimmed(lines[i])) : std::vector<uint8_t>{};
  if (bytes.size() != 2 + key.id.size() + key.key.size() || bytes[0] != 'E' || bytes[1] != 'd') {
    error = "it holds no minisign public key (a line of base64 after its comment)";
    return false;
  }
  std::copy_n(bytes.begin() + 2, key.id.size(), key.id.begin());
  std::copy_n(bytes.begin() + 2 + key.id.size(), key.key.size(), key.key.begin());
  return true;
}

bool parseSignature(const std::vector<std::string>& lines, Signature& signature, std::string& error) {
  if (!libraryReady()) {
    error = "the signature library cannot start";
    return false;
  }
  if (lines.size() < 4 || !startsWith(lines[0], kUntrusted) || !startsWith(lines[2], kTrusted)) {
    error = "it is not four lines: an untrusted comment, the signature, a trusted comment, the global signature";
    return false;
  }
  const std::vector<uint8_t> bytes = base64(trimmed(lines[1]));
  if (bytes.size() != 2 + signature.keyId.size() + signature.signature.size() || bytes[0] != 'E' ||
      (bytes[1] != 'd' && bytes[1] != 'D')) {
    error = "its second line is no Ed25519 signature";
    return false;
  }
  signature.prehashed = bytes[1] == 'D';
  std::copy_n(bytes.begin() + 2, signature.keyId.size(), signature.keyId.begin());
  std::copy_n(bytes.begin() + 2 + signature.keyId.size(), signature.signature.size(), signature.signature.begin());
  // The trusted comment is signed as it stands after its label, up to its line's end.
  std::string comment = lines[2].substr(sizeof kTrusted - 1);
  if (!comment.empty() && comment.back() == '\r') comment.pop_back();
  signature.trustedComment = comment;
  const std::vector<uint8_t> global = base64(trimmed(lines[3]));
  if (global.size() != signature.globalSignature.size()) {
    error = "its last line is no global signature";
    return false;
  }
  std::copy(global.begin(), global.end(), signature.globalSignature.begin());
  return true;
}

Verdict verify(const std::string& path, const Signature& signature, const PublicKey& key,
               const std::function<bool()>& stopped, std::string& error) {
  if (!libraryReady()) {
    error = "the signature library cannot start";
    return Verdict::Unreadable;
  }
  std::vector<uint8_t> message;
  Verdict read = Verdict::Good;
  if (signature.prehashed) {
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, crypto_generichash_BYTES_MAX);
    read = readPieces(path, stopped, [&state](const uint8_t* bytes, std::size_t n) {
      crypto_generichash_update(&state, bytes, n);
    }, error);
    message.resize(crypto_generichash_BYTES_MAX);
    crypto_generichash_final(&state, message.data(), message.size());
  } else {
    bool tooLarge = false;
    read = readPieces(path, stopped, [&message, &tooLarge](const uint8_t* bytes, std::size_t n) {
      if (message.size() + n <= kMaxLegacySignedBytes) message.insert(message.end(), bytes, bytes + n);
      else tooLarge = true;
    }, error);
    if (read == Verdict::Good && tooLarge) {
      error = "its signature is of the old form, over the whole file, which is read only up to 64 MiB: sign it "
              "again with a current minisign";
      return Verdict::Unreadable;
    }
  }
  if (read != Verdict::Good) return read;
  if (crypto_sign_verify_detached(signature.signature.data(), message.data(), message.size(), key.key.data()) != 0)
    return Verdict::ContentsChanged;
  std::vector<uint8_t> global(signature.signature.begin(), signature.signature.end());
  global.insert(global.end(), signature.trustedComment.begin(), signature.trustedComment.end());
  if (crypto_sign_verify_detached(signature.globalSignature.data(), global.data(), global.size(), key.key.data()) != 0)
    return Verdict::CommentChanged;
  return Verdict::Good;
}

}  // namespace minisign
