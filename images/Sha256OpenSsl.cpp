#include <openssl/evp.h>

#include <stdexcept>

#include "Sha256.h"

namespace sha256detail {
std::string hexOf(const unsigned char* bytes, std::size_t count);
}

struct Sha256::Platform {
  struct Free {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
  };
  std::unique_ptr<EVP_MD_CTX, Free> context{EVP_MD_CTX_new()};
  bool finished = false;
};

Sha256::Sha256() : platform_(std::make_unique<Platform>()) {
  if (!platform_->context || EVP_DigestInit_ex(platform_->context.get(), EVP_sha256(), nullptr) != 1)
    throw std::runtime_error("libcrypto offers no SHA-256");
}

Sha256::~Sha256() = default;

void Sha256::update(const void* bytes, std::size_t count) {
  if (platform_->finished || count == 0) return;
  EVP_DigestUpdate(platform_->context.get(), bytes, count);
}

std::string Sha256::hexDigest() {
  if (platform_->finished) return {};
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(platform_->context.get(), digest, &length);
  platform_->finished = true;
  return sha256detail::hexOf(digest, length);
}
