#include "HistoryServer.h"

#include <libpq-fe.h>

#include "PgDb.h"

namespace historyserver {

bool supported() { return true; }

std::unique_ptr<HistoryDb> connect(const std::string& url, std::string& error, const CMNC::AbortSignal* stop) {
  auto db = std::make_unique<PgDb>(url, stop);
  if (db->ok()) return db;
  error = db->error();
  return nullptr;
}

bool holdsPassword(const std::string& url, std::string& unreadable) {
  char* message = nullptr;
  PQconninfoOption* options = PQconninfoParse(url.c_str(), &message);
  if (!options) {
    unreadable = message ? message : "libpq cannot read it";
    while (!unreadable.empty() && (unreadable.back() == '\n' || unreadable.back() == ' ')) unreadable.pop_back();
    PQfreemem(message);
    return false;
  }
  bool found = false;
  for (const PQconninfoOption* option = options; option->keyword; ++option)
    if (std::string(option->keyword) == "password" && option->val && *option->val) found = true;
  PQconninfoFree(options);
  return found;
}

}  // namespace historyserver
