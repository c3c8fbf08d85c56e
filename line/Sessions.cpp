#include "Sessions.h"

#include <sodium.h>

#include <algorithm>

std::string Sessions::randomToken() {
  unsigned char bytes[32];
  randombytes_buf(bytes, sizeof bytes);
  char hex[sizeof bytes * 2 + 1];
  sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
  return hex;
}

bool Sessions::sameToken(const std::string& a, const std::string& b) {
  return !a.empty() && a.size() == b.size() && sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

std::string Sessions::open(const Accounts::Account& account, Clock::time_point now) {
  const std::string token = randomToken();
  std::lock_guard lock(mutex_);
  if (sessions_.size() >= kMaxSessions) {
    const auto oldest = std::min_element(sessions_.begin(), sessions_.end(), [](const auto& a, const auto& b) {
      return a.second.lastSeen < b.second.lastSeen;
    });
    sessions_.erase(oldest);
  }
  sessions_[token] = {account.name, account.role, randomToken(), now};
  return token;
}

std::optional<Sessions::Session> Sessions::find(const std::string& token, Clock::time_point now) {
  std::lock_guard lock(mutex_);
  const auto it = sessions_.find(token);
  if (it == sessions_.end()) return std::nullopt;
  if (now - it->second.lastSeen > kIdleLimit) {
    sessions_.erase(it);
    return std::nullopt;
  }
  it->second.lastSeen = now;
  return it->second;
}

void Sessions::close(const std::string& token) {
  std::lock_guard lock(mutex_);
  sessions_.erase(token);
}

void Sessions::closeAccount(const std::string& account) {
  std::lock_guard lock(mutex_);
  std::erase_if(sessions_, [&](const auto& entry) { return entry.second.account == account; });
}
