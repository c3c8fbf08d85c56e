#pragma once
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "Accounts.h"

// Who is signed in: a session a random token names (the cookie's value), its account, role and the
// token every form of its pages carries against cross-site requests. A session ends when signed
// out, after kIdleLimit without a request, or when its account was removed or changed. Held in
// memory: a restart signs everybody out. Every call may come from any thread; the clock is the
// caller's.
class Sessions {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::hours kIdleLimit{8};
  static constexpr std::size_t kMaxSessions = 10000;  // the oldest go first past this

  struct Session {
    std::string account;
    Accounts::Role role = Accounts::Role::Viewer;
    std::string formToken;
    Clock::time_point lastSeen;
  };

  // A new session's token.
  std::string open(const Accounts::Account& account, Clock::time_point now);
  // The session a token names, seen now; none when it is unknown or idle too long.
  std::optional<Session> find(const std::string& token, Clock::time_point now);
  void close(const std::string& token);
  // Ends every session of an account (removed, or given another role or password).
  void closeAccount(const std::string& account);

  // A random token, 32 bytes in hexadecimal.
  static std::string randomToken();
  // Two tokens compared in constant time.
  static bool sameToken(const std::string& a, const std::string& b);

 private:
  std::mutex mutex_;
  std::map<std::string, Session> sessions_;
};
