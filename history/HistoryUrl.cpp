#include "HistoryUrl.h"

#include <algorithm>
#include <cctype>

#include "HistoryServer.h"

namespace historyurl {
namespace {

std::string lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::size_t schemeLength(const std::string& place) {
  const std::string start = lowered(place.substr(0, 13));
  if (start.rfind("postgresql://", 0) == 0) return 13;
  if (start.rfind("postgres://", 0) == 0) return 11;
  return 0;
}

std::size_t webSchemeLength(const std::string& place) {
  const std::string start = lowered(place.substr(0, 8));
  if (start.rfind("https://", 0) == 0) return 8;
  if (start.rfind("http://", 0) == 0) return 7;
  return 0;
}

// What is wrong with the line service's URL: https://HOST[:PORT]/ and nothing more.
std::string serviceProblem(const std::string& url) {
  const std::size_t scheme = webSchemeLength(url);
  if (scheme == 7)
    return "the line service is reached over https:// only (a station's token and its rows never go in clear).";
  const std::size_t authorityEnd = std::min(url.find_first_of("/?#", scheme), url.size());
  const std::string authority = url.substr(scheme, authorityEnd - scheme);
  const std::string rest = url.substr(authorityEnd);
  if (authority.find('@') != std::string::npos)
    return "the line service's URL holds a user or a password: the station's token goes in --history-token-file FILE.";
  const std::size_t colon = authority.rfind(':');
  const bool bracketed = !authority.empty() && authority.front() == '[';
  const std::string host = colon != std::string::npos && (!bracketed || authority[colon - 1] == ']') ? authority.substr(0, colon) : authority;
  const std::string port = host.size() < authority.size() ? authority.substr(host.size() + 1) : "";
  const bool portOk = port.empty() || (port.size() <= 5 && port.find_first_not_of("0123456789") == std::string::npos &&
                                       std::stoi(port) > 0 && std::stoi(port) < 65536);
  if (host.empty() || host.find_first_of(" \t/\\") != std::string::npos || !portOk || (rest != "" && rest != "/"))
    return "the line service's URL is https://HOST[:PORT]/ (the service's own address, nothing after it).";
  return "";
}

// Whether the query (after "?") sets the password: key=value pairs joined by "&".
bool queryHasPassword(const std::string& query) {
  std::size_t start = 0;
  while (start <= query.size()) {
    const std::size_t end = std::min(query.find('&', start), query.size());
    const std::string pair = query.substr(start, end - start);
    if (lowered(pair.substr(0, pair.find('='))) == "password") return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

bool isServerUrl(const std::string& place) { return isDatabaseUrl(place) || webSchemeLength(place) != 0; }
bool isDatabaseUrl(const std::string& place) { return schemeLength(place) != 0; }
bool isServiceUrl(const std::string& place) { return webSchemeLength(place) != 0; }

std::string problem(const std::string& url) {
  if (isServiceUrl(url)) return serviceProblem(url);
  const std::size_t scheme = schemeLength(url);
  const std::size_t authorityEnd = std::min(url.find_first_of("/?", scheme), url.size());
  const std::string authority = url.substr(scheme, authorityEnd - scheme);
  const std::size_t at = authority.rfind('@');
  const bool userPassword = at != std::string::npos && authority.substr(0, at).find(':') != std::string::npos;
  const std::size_t question = url.find('?', scheme);
  const bool spelt = userPassword || (question != std::string::npos && queryHasPassword(url.substr(question + 1)));
  // What the client library reads is what counts: a key it decodes (%70assword) is a password too.
  std::string unreadable;
  if (spelt || historyserver::holdsPassword(url, unreadable))
    return "the history server's URL holds a password, which others can read: leave it out and give it in "
           "~/.pgpass (or the file PGPASSFILE names), PGPASSWORD or a service file.";
  if (!unreadable.empty()) return "the history server's URL cannot be read: " + unreadable + ".";
  return "";
}

}  // namespace historyurl
