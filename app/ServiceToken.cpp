#include "ServiceToken.h"

#include <filesystem>

#include "PasswordInput.h"
#include "PathText.h"
#include "SecretStore.h"

namespace servicetoken {

std::string secretKey(const std::string& url) {
  std::string key = url;
  while (!key.empty() && key.back() == '/') key.pop_back();
  return "vestrel line service token " + key;
}

bool wellFormed(const std::string& token) {
  if (token.empty() || token.size() > kMaxTokenBytes) return false;
  for (const char c : token)
    if (c <= ' ' || c > '~') return false;
  return true;
}

bool resolve(HistorySettings& history, std::string& error) {
  const ServiceAccess& access = history.service;
  if (!access.caFile.empty()) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(pathtext::fromUtf8(access.caFile), ec))
      return error = "--history-ca names " + access.caFile + ", which is not a certificate file here.", false;
  }
  std::string token;
  if (!history.tokenFile.empty()) {
    if (!passwordinput::readPasswordFile(history.tokenFile, token, error)) return false;
    if (!wellFormed(token)) return error = "The token file " + history.tokenFile + " holds no token on its first line.", false;
  } else if (const auto stored = secretstore::get(secretKey(history.path)); stored && wellFormed(*stored)) {
    token = *stored;
  } else {
    return error = "The line service " + history.path +
                   " needs this station's token, which an admin issues on the service's Stations page: put it in a file "
                   "only you can read and name it with --history-token-file FILE, or store it once with vestrel "
                   "--save-history-token --history-db " + history.path + ".",
           false;
  }
  history.service.token = token;
  return true;
}

bool save(const std::string& url, const std::string& token, std::string& error) {
  if (!wellFormed(token)) return error = "That is not a token: the service's tokens are one word of letters and digits.", false;
  return secretstore::put(secretKey(url), token, error);
}

}  // namespace servicetoken
