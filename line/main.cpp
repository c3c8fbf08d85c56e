// vestrel-line: the line's loads in the browser, served from the line's history server.
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <iostream>
#include <string>

#include "Accounts.h"
#include "BrokenPipe.h"
#include "InterruptWatch.h"
#include "LineOptions.h"
#include "LineServer.h"
#include "StationTokens.h"
#include "Version.h"

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kBadUsage = 2;

// A password from the terminal without echo, else the first line of the input.
std::string readPassword() {
  const bool terminal = isatty(STDIN_FILENO) != 0;
  termios before{};
  if (terminal) {
    std::cerr << "Password: " << std::flush;
    tcgetattr(STDIN_FILENO, &before);
    termios quiet = before;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::string password;
  std::getline(std::cin, password);
  if (terminal) {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
    std::cerr << std::endl;
  }
  if (!password.empty() && password.back() == '\r') password.pop_back();
  return password;
}

int keepAccounts(const LineOptions& options) {
  Accounts accounts;
  std::string error;
  if (!accounts.load(options.server.accountsPath, error)) return std::cerr << "vestrel-line: " << error << "\n", kFailed;
  if (options.action == LineOptions::Action::ListAccounts) {
    for (const Accounts::Account& account : accounts.list())
      std::cout << account.name << "\t" << Accounts::roleName(account.role) << "\n";
    return kDone;
  }
  bool ok = false;
  if (options.action == LineOptions::Action::RemoveAccount) {
    ok = accounts.remove(options.account, error);
  } else {
    Accounts::Role role;
    if (!Accounts::roleNamed(options.role, role)) return std::cerr << "vestrel-line: a role is viewer or admin.\n", kBadUsage;
    ok = accounts.put(options.account, role, readPassword(), error);
  }
  if (!ok) return std::cerr << "vestrel-line: " << error << "\n", kFailed;
  return kDone;
}

int keepTokens(const LineOptions& options) {
  StationTokens tokens;
  std::string error;
  if (!tokens.load(options.server.tokensPath, error)) return std::cerr << "vestrel-line: " << error << "\n", kFailed;
  if (options.action == LineOptions::Action::ListTokens) {
    for (const StationTokens::Entry& entry : tokens.list())
      std::cout << entry.station << "\t" << entry.issuedAt << "\t" << entry.issuedBy << "\n";
    return kDone;
  }
  if (options.action == LineOptions::Action::RevokeToken)
    return tokens.revoke(options.station, error) ? kDone : (std::cerr << "vestrel-line: " << error << "\n", kFailed);
  const std::string token = tokens.issue(options.station, "vestrel-line --issue-token", error);
  if (token.empty()) return std::cerr << "vestrel-line: " << error << "\n", kFailed;
  std::cout << token << std::endl;
  return kDone;
}

}  // namespace

int main(int argc, char** argv) {
  ignoreBrokenPipes();
  umask(077);  // the accounts file is its owner's alone
  LineOptions options;
  std::string error;
  if (!LineOptions::parse(argc, argv, options, error))
    return std::cerr << "vestrel-line: " << error << "\n\n" << LineOptions::usage(), kBadUsage;
  switch (options.action) {
    case LineOptions::Action::Help: return std::cout << LineOptions::usage(), kDone;
    case LineOptions::Action::Version: return std::cout << "vestrel-line " << VESTREL_VERSION << "\n", kDone;
    case LineOptions::Action::Serve: break;
    case LineOptions::Action::IssueToken:
    case LineOptions::Action::RevokeToken:
    case LineOptions::Action::ListTokens: return keepTokens(options);
    default: return keepAccounts(options);
  }
  LineServer server(options.server);
  if (!server.prepare(error)) return std::cerr << "vestrel-line: " << error << "\n", kFailed;
  InterruptWatch watch([&](int) { server.stop(); }, [&](int) { server.stop(); });
  if (!server.listen(error)) return std::cerr << "vestrel-line: " << error << "\n", kFailed;
  std::cerr << "vestrel-line: stopped" << std::endl;
  return kDone;
}
