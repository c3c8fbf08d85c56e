#include "HistoryServer.h"

#include "PgDb.h"

namespace historyserver {

bool supported() { return true; }

std::unique_ptr<HistoryDb> connect(const std::string& url, std::string& error) {
  auto db = std::make_unique<PgDb>(url);
  if (db->ok()) return db;
  error = db->error();
  return nullptr;
}

}  // namespace historyserver
