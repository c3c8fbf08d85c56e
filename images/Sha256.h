#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// SHA-256 of a stream of bytes, from the system's own cryptography: libcrypto's digest interface
// on Linux, the system's cryptography API (CNG) on Windows. One object digests one stream.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void update(const void* bytes, std::size_t count);
  // The digest as 64 lower-case hexadecimal digits; the object takes no more bytes afterwards.
  std::string hexDigest();

  // The digest of bytes in memory.
  static std::string of(const void* bytes, std::size_t count);
  // The digest of a regular file (a UTF-8 path), read in pieces; empty with error set when it is no
  // regular file, cannot be read, or stopped() turned true between two pieces.
  static std::string ofFile(const std::string& path, std::string& error, const std::function<bool()>& stopped = {});

 private:
  struct Platform;
  std::unique_ptr<Platform> platform_;
};

// The digest text as the operator typed it, in lower case; empty when it is not 64 hexadecimal digits.
std::string normalisedSha256(const std::string& text);
