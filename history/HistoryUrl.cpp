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

bool isServerUrl(const std::string& place) { return schemeLength(place) != 0; }

std::string problem(const std::string& url) {
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
