#include <windows.h>
#include <bcrypt.h>

#include <stdexcept>

#include "Sha256.h"

namespace sha256detail {
std::string hexOf(const unsigned char* bytes, std::size_t count);
}

namespace {
constexpr std::size_t kDigestBytes = 32;
bool succeeded(NTSTATUS status) { return status >= 0; }
}  // namespace

// A reusable hash object of the system's SHA-256 provider (no object buffer: the provider keeps it).
struct Sha256::Platform {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool finished = false;
  ~Platform() {
    if (hash) BCryptDestroyHash(hash);
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

Sha256::Sha256() : platform_(std::make_unique<Platform>()) {
  if (!succeeded(BCryptOpenAlgorithmProvider(&platform_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
      !succeeded(BCryptCreateHash(platform_->algorithm, &platform_->hash, nullptr, 0, nullptr, 0, 0)))
    throw std::runtime_error("the system offers no SHA-256");
}

Sha256::~Sha256() = default;

void Sha256::update(const void* bytes, std::size_t count) {
  if (platform_->finished) return;
  auto* next = static_cast<unsigned char*>(const_cast<void*>(bytes));
  while (count > 0) {  // the API takes 32-bit counts
    const ULONG piece = count > 0x40000000 ? 0x40000000 : static_cast<ULONG>(count);
    BCryptHashData(platform_->hash, next, piece, 0);
    next += piece;
    count -= piece;
  }
}

std::string Sha256::hexDigest() {
  if (platform_->finished) return {};
  unsigned char digest[kDigestBytes];
  BCryptFinishHash(platform_->hash, digest, kDigestBytes, 0);
  platform_->finished = true;
  return sha256detail::hexOf(digest, kDigestBytes);
}
