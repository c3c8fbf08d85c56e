#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Detached signatures in minisign's format (Ed25519): a public key file, a signature file beside
// the signed file, and the check of a file against both. Makers sign with minisign itself; this
// only verifies.
namespace minisign {

// A public key: "untrusted comment: ..." then the base64 of "Ed", its 8-byte id and 32 bytes.
struct PublicKey {
  std::array<uint8_t, 8> id{};
  std::array<uint8_t, 32> key{};
  std::string idText() const;  // the id as minisign prints it: hexadecimal, no leading zeros
};

// A signature file: an untrusted comment, the base64 of the algorithm ("Ed" over the file's bytes,
// "ED" over their BLAKE2b-512 hash), the key's id and the signature, the trusted comment, and the
// base64 of the global signature (over the signature and the trusted comment).
struct Signature {
  bool prehashed = true;
  std::array<uint8_t, 8> keyId{};
  std::array<uint8_t, 64> signature{};
  std::string trustedComment;
  std::array<uint8_t, 64> globalSignature{};
  std::string keyIdText() const;
};

inline constexpr std::size_t kMaxFileBytes = 4096;  // a key or signature file is a few lines
// A signature over the file's bytes themselves (the old form) needs them all in memory at once.
inline constexpr uint64_t kMaxLegacySignedBytes = 64ull * 1024 * 1024;

// Reads a key from its file's lines, or from its base64 line alone; false with error set.
bool parsePublicKey(const std::vector<std::string>& lines, PublicKey& key, std::string& error);
bool parseSignature(const std::vector<std::string>& lines, Signature& signature, std::string& error);

// What checking a file against a signature and its key found.
enum class Verdict { Good, ContentsChanged, CommentChanged, Stopped, Unreadable };
// Reads the file at path (once, in pieces; stopped() is asked between them) and checks it. error
// says why the file could not be read.
Verdict verify(const std::string& path, const Signature& signature, const PublicKey& key,
               const std::function<bool()>& stopped, std::string& error);

}  // namespace minisign
