#pragma once
#include <mutex>
#include <string>
#include <vector>

// The service's accounts, in a file only its owner reads: one line each, "name<TAB>role<TAB>hash",
// the password's Argon2id hash (libsodium's crypto_pwhash_str, its interactive limits). A name is
// 1..64 of letters, digits and ".-_@"; the role "viewer" (reads the pages) or "admin" (also keeps
// the accounts). Every call may come from any thread.
class Accounts {
 public:
  enum class Role { Viewer, Admin };
  struct Account {
    std::string name;
    Role role = Role::Viewer;
    std::string hash;
  };
  static constexpr std::size_t kMaxPasswordBytes = 1024;
  static constexpr std::size_t kMinPasswordBytes = 8;

  // Reads the file (absent: no account yet); false with error set when it cannot be read or a line
  // is none of the above.
  bool load(const std::string& path, std::string& error);
  // The account signed in with password, or false (an unknown name takes as long as a wrong
  // password).
  bool verify(const std::string& name, const std::string& password, Account& account) const;
  // Adds the account or gives it a new role and password, and writes the file; false with why.
  bool put(const std::string& name, Role role, const std::string& password, std::string& error);
  bool remove(const std::string& name, std::string& error);
  std::vector<Account> list() const;

  static bool validName(const std::string& name);
  static const char* roleName(Role role);
  static bool roleNamed(const std::string& text, Role& role);

 private:
  bool save(std::string& error) const;
  mutable std::mutex mutex_;
  mutable std::mutex hashing_;
  std::string path_;
  std::vector<Account> accounts_;
};
