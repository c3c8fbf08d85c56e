#include "Accounts.h"

#include <sodium.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "PathText.h"
#include "ReplacedFile.h"

namespace {

bool startLibrary() { return sodium_init() >= 0; }

}  // namespace

bool Accounts::validName(const std::string& name) {
  if (name.empty() || name.size() > 64) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_' || c == '@';
  });
}

const char* Accounts::roleName(Role role) { return role == Role::Admin ? "admin" : "viewer"; }

bool Accounts::roleNamed(const std::string& text, Role& role) {
  if (text == "admin") role = Role::Admin;
  else if (text == "viewer") role = Role::Viewer;
  else return false;
  return true;
}

bool Accounts::load(const std::string& path, std::string& error) {
  if (!startLibrary()) {
    error = "libsodium cannot start";
    return false;
  }
  std::lock_guard lock(mutex_);
  path_ = path;
  accounts_.clear();
  std::ifstream file(pathtext::fromUtf8(path));
  if (!file) return true;  // no account yet
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    Account account;
    std::string role;
    if (!std::getline(fields, account.name, '\t') || !std::getline(fields, role, '\t') ||
        !std::getline(fields, account.hash) || !validName(account.name) || !roleNamed(role, account.role) ||
        account.hash.size() >= crypto_pwhash_STRBYTES) {
      error = path + ", line " + std::to_string(number) + ": not an account (name, role and hash, tab-separated)";
      return false;
    }
    accounts_.push_back(account);
  }
  return true;
}

bool Accounts::verify(const std::string& name, const std::string& password, Account& account) const {
  std::string hash;
  {
    std::lock_guard lock(mutex_);
    for (const Account& known : accounts_)
      if (known.name == name) {
        account = known;
        hash = known.hash;
      }
  }
  if (password.size() > kMaxPasswordBytes) return false;
  // An unknown name is checked against a hash of its own, so that it takes as long.
  static const std::string kStandIn = [] {
    char text[crypto_pwhash_STRBYTES] = {};
    const char password[] = "no account has this password";
    if (crypto_pwhash_str(text, password, sizeof password - 1, crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
      return std::string();  // out of memory: an unknown name is then refused at once
    return std::string(text);
  }();
  const bool known = !hash.empty();
  const std::string& against = known ? hash : kStandIn;
  if (against.empty()) return false;
  std::lock_guard hashing(hashing_);  // one hash at a time: each takes 64 MiB of memory
  const bool ok = crypto_pwhash_str_verify(against.c_str(), password.data(), password.size()) == 0;
  return known && ok;
}

bool Accounts::put(const std::string& name, Role role, const std::string& password, std::string& error) {
  if (!validName(name)) {
    error = "An account's name is 1 to 64 letters, digits and . - _ @.";
    return false;
  }
  if (password.size() < kMinPasswordBytes || password.size() > kMaxPasswordBytes) {
    error = "A password has " + std::to_string(kMinPasswordBytes) + " to " + std::to_string(kMaxPasswordBytes) + " bytes.";
    return false;
  }
  char hash[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(hash, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                        crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0) {
    error = "The password could not be hashed (out of memory).";
    return false;
  }
  std::lock_guard lock(mutex_);
  const auto it = std::find_if(accounts_.begin(), accounts_.end(), [&](const Account& a) { return a.name == name; });
  const std::vector<Account> before = accounts_;
  if (it != accounts_.end()) *it = {name, role, hash};
  else accounts_.push_back({name, role, hash});
  if (save(error)) return true;
  accounts_ = before;
  return false;
}

bool Accounts::remove(const std::string& name, std::string& error) {
  std::lock_guard lock(mutex_);
  const std::vector<Account> before = accounts_;
  const auto gone = std::remove_if(accounts_.begin(), accounts_.end(), [&](const Account& a) { return a.name == name; });
  if (gone == accounts_.end()) {
    error = "There is no account " + name + ".";
    return false;
  }
  accounts_.erase(gone, accounts_.end());
  if (save(error)) return true;
  accounts_ = before;
  return false;
}

std::vector<Accounts::Account> Accounts::list() const {
  std::lock_guard lock(mutex_);
  return accounts_;
}

bool Accounts::save(std::string& error) const {
  std::string text;
  for (const Account& account : accounts_) text += account.name + "\t" + roleName(account.role) + "\t" + account.hash + "\n";
  if (replacedfile::write(path_, text, error)) return true;
  error = "Cannot write the accounts " + path_ + ": " + error;
  return false;
}
