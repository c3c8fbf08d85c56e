#include "LineOptions.h"

#include <cstdlib>
#include <vector>

#include "HistoryUrl.h"

namespace {

// "ADDR:PORT", "[v6]:PORT" or ":PORT" (loopback).
bool listenAddress(const std::string& text, std::string& host, int& port) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (host.empty()) host = "127.0.0.1";
  const std::string digits = text.substr(colon + 1);
  if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
  port = std::atoi(digits.c_str());
  return port <= 65535;
}

}  // namespace

const char* LineOptions::usage() {
  return "Usage: vestrel-line --history-db postgresql://USER@HOST[:PORT]/DB [--listen ADDR:PORT]\n"
         "                    [--tls-cert FILE --tls-key FILE] [--accounts FILE] [--static DIR]\n"
         "       vestrel-line [--accounts FILE] --add-account NAME [--role viewer|admin]\n"
         "       vestrel-line [--accounts FILE] --remove-account NAME | --list-accounts\n"
         "       vestrel-line [--station-tokens FILE] --issue-token STATION | --revoke-token STATION | --list-tokens\n"
         "\n"
         "Serves the line's loads in the browser: Now (every station's loads as they go), History,\n"
         "a load, a receiver, Figures, and their CSV, from the line's PostgreSQL history.\n"
         "\n"
         "  --history-db URL   the line's history server; the password comes from libpq's password\n"
         "                     file (PGPASSFILE, ~/.pgpass), never the URL; use a read-only role\n"
         "                     (VESTREL_HISTORY_DB when not given)\n"
         "  --writer-db URL    the same server as a role that may write the loads, for the station\n"
         "                     API: stations (Windows ones too) send their rows and live loads over\n"
         "                     HTTPS with a token of their own; without it the API is off\n"
         "  --station-tokens FILE  the stations' tokens, hashed (default\n"
         "                     /var/lib/vestrel-line/station-tokens)\n"
         "  --issue-token STATION  a new token for the station (its host name), printed once;\n"
         "                     the station's token before it stops working\n"
         "  --revoke-token STATION, --list-tokens\n"
         "  --listen ADDR:PORT where to serve (default 127.0.0.1:8470, loopback only)\n"
         "  --tls-cert FILE    serve HTTPS with this certificate (PEM) ...\n"
         "  --tls-key FILE     ... and its key (PEM, not encrypted)\n"
         "  --accounts FILE    the accounts (default /var/lib/vestrel-line/accounts)\n"
         "  --static DIR       the pages' CSS and JavaScript (default /usr/share/vestrel-line/static)\n"
         "  --add-account NAME add an account, or give it a new password and role: the password is\n"
         "                     read from the terminal without echo, or the first line of the input\n"
         "  --role ROLE        viewer (reads the pages) or admin (also keeps the accounts)\n"
         "  --remove-account NAME, --list-accounts\n"
         "  --help, --version\n"
         "\n"
         "Exit status: 0 stopped by a signal or done, 1 it could not serve or write, 2 bad usage.\n";
}

bool LineOptions::parse(int argc, char** argv, LineOptions& options, std::string& error) {
  options = {};
  options.server.accountsPath = kDefaultAccounts;
  options.server.staticDir = kDefaultStatic;
  options.server.tokensPath = kDefaultTokens;
  if (const char* url = std::getenv("VESTREL_HISTORY_DB")) options.server.historyUrl = url;
  std::vector<std::string> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) {
        error = arg + " needs a value.";
        return false;
      }
      into = args[++i];
      return true;
    };
    std::string listen;
    if (arg == "--help" || arg == "-h") options.action = Action::Help;
    else if (arg == "--version") options.action = Action::Version;
    else if (arg == "--history-db") { if (!value(options.server.historyUrl)) return false; }
    else if (arg == "--tls-cert") { if (!value(options.server.tlsCert)) return false; }
    else if (arg == "--tls-key") { if (!value(options.server.tlsKey)) return false; }
    else if (arg == "--accounts") { if (!value(options.server.accountsPath)) return false; }
    else if (arg == "--static") { if (!value(options.server.staticDir)) return false; }
    else if (arg == "--role") { if (!value(options.role)) return false; }
    else if (arg == "--list-accounts") options.action = Action::ListAccounts;
    else if (arg == "--writer-db") { if (!value(options.server.writerUrl)) return false; }
    else if (arg == "--station-tokens") { if (!value(options.server.tokensPath)) return false; }
    else if (arg == "--list-tokens") options.action = Action::ListTokens;
    else if (arg == "--issue-token" || arg == "--revoke-token") {
      if (!value(options.station)) return false;
      options.action = arg == "--issue-token" ? Action::IssueToken : Action::RevokeToken;
    }
    else if (arg == "--add-account" || arg == "--remove-account") {
      if (!value(options.account)) return false;
      options.action = arg == "--add-account" ? Action::PutAccount : Action::RemoveAccount;
    } else if (arg == "--listen") {
      if (!value(listen)) return false;
      if (!listenAddress(listen, options.server.host, options.server.port)) {
        error = "--listen takes ADDR:PORT (\"0.0.0.0:8470\", \"[::]:8470\", \":8470\"), not \"" + listen + "\".";
        return false;
      }
    } else {
      error = "Unknown argument \"" + arg + "\".";
      return false;
    }
  }
  if (options.action != Action::Serve) return true;
  if (options.server.historyUrl.empty()) {
    error = "Name the line's history server: --history-db postgresql://USER@HOST/DB.";
    return false;
  }
  if (!historyurl::isDatabaseUrl(options.server.historyUrl)) {
    error = "--history-db must name the line's PostgreSQL server (postgresql://...).";
    return false;
  }
  if (const std::string problem = historyurl::problem(options.server.historyUrl); !problem.empty()) {
    error = problem;
    return false;
  }
  if (!options.server.writerUrl.empty() &&
      (!historyurl::isDatabaseUrl(options.server.writerUrl) || !historyurl::problem(options.server.writerUrl).empty())) {
    error = "--writer-db names the line's PostgreSQL server (postgresql://USER@HOST/DB, no password in it).";
    return false;
  }
  if (options.server.tlsCert.empty() != options.server.tlsKey.empty()) {
    error = "--tls-cert and --tls-key go together.";
    return false;
  }
  return true;
}
