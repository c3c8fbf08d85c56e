#include "SampleSignature.h"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>

#include "Minisign.h"

namespace samplesignature {
namespace {

std::string base64(const std::vector<unsigned char>& bytes) {
  std::string text(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
  sodium_bin2base64(text.data(), text.size(), bytes.data(), bytes.size(), sodium_base64_VARIANT_ORIGINAL);
  text.resize(text.size() - 1);  // its closing NUL
  return text;
}

// The id as minisign prints it, as the loader's own reading of a key shows it.
std::string idText(const std::array<unsigned char, 8>& id) {
  minisign::PublicKey key;
  std::copy(id.begin(), id.end(), key.id.begin());
  return key.idText();
}

// A line's bytes: its two-letter algorithm, the key's id, then the key or the signature. Sized
// first and filled: GCC 12 warns falsely on a two-byte vector grown by insert.
template <std::size_t N>
std::vector<unsigned char> tagged(const char* algorithm, const std::array<unsigned char, 8>& id,
                                  const std::array<unsigned char, N>& bytes) {
  std::vector<unsigned char> line(2 + id.size() + N);
  line[0] = static_cast<unsigned char>(algorithm[0]);
  line[1] = static_cast<unsigned char>(algorithm[1]);
  std::copy(id.begin(), id.end(), line.begin() + 2);
  std::copy(bytes.begin(), bytes.end(), line.begin() + 2 + static_cast<std::ptrdiff_t>(id.size()));
  return line;
}

struct Key {
  std::array<unsigned char, 8> id{};
  std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> publicKey{};
  std::array<unsigned char, crypto_sign_SECRETKEYBYTES> secretKey{};
};

bool signFile(const Key& key, const std::string& path, const std::string& comment, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.eof() && !in) return error = "cannot read " + path, false;
  std::array<unsigned char, crypto_generichash_BYTES_MAX> hash{};
  crypto_generichash(hash.data(), hash.size(), bytes.data(), bytes.size(), nullptr, 0);
  std::array<unsigned char, crypto_sign_BYTES> signature{};
  crypto_sign_detached(signature.data(), nullptr, hash.data(), hash.size(), key.secretKey.data());
  std::vector<unsigned char> global(signature.begin(), signature.end());
  global.insert(global.end(), comment.begin(), comment.end());
  std::array<unsigned char, crypto_sign_BYTES> globalSignature{};
  crypto_sign_detached(globalSignature.data(), nullptr, global.data(), global.size(), key.secretKey.data());
  const std::vector<unsigned char> line = tagged("ED", key.id, signature);
  std::ofstream out(path + ".minisig", std::ios::binary | std::ios::trunc);
  out << "untrusted comment: signature from vestrel-mkfw's sample key\n"
      << base64(line) << "\ntrusted comment: " << comment << "\n"
      << base64({globalSignature.begin(), globalSignature.end()}) << "\n";
  if (!out) return error = "cannot write " + path + ".minisig", false;
  return true;
}

}  // namespace

bool signFiles(const std::string& dir, const std::vector<std::string>& files, const std::string& comment,
               std::string& error) {
  if (sodium_init() < 0) return error = "the signature library cannot start", false;
  Key key;
  randombytes_buf(key.id.data(), key.id.size());
  crypto_sign_keypair(key.publicKey.data(), key.secretKey.data());
  const std::vector<unsigned char> publicLine = tagged("Ed", key.id, key.publicKey);
  std::ofstream pub(dir + "/maker.pub", std::ios::binary | std::ios::trunc);
  pub << "untrusted comment: minisign public key " << idText(key.id) << "\n" << base64(publicLine) << "\n";
  if (!pub) return error = "cannot write " + dir + "/maker.pub", false;
  for (const std::string& file : files)
    if (!signFile(key, file, comment, error)) return false;
  sodium_memzero(key.secretKey.data(), key.secretKey.size());
  return true;
}

}  // namespace samplesignature
