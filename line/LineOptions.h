#pragma once
#include <string>

#include "LineServer.h"

// vestrel-line's command line: serve the pages (the default), or keep an account.
struct LineOptions {
  enum class Action { Serve, PutAccount, RemoveAccount, ListAccounts, IssueToken, RevokeToken, ListTokens, Help, Version };
  Action action = Action::Serve;
  LineServer::Settings server;
  std::string account;  // --add-account / --remove-account
  std::string role = "viewer";
  std::string station;  // --issue-token / --revoke-token

  static constexpr const char* kDefaultAccounts = "/var/lib/vestrel-line/accounts";
  static constexpr const char* kDefaultTokens = "/var/lib/vestrel-line/station-tokens";
  static constexpr const char* kDefaultStatic = "/usr/share/vestrel-line/static";

  // false with error set when the command line cannot be taken.
  static bool parse(int argc, char** argv, LineOptions& options, std::string& error);
  static const char* usage();
};
