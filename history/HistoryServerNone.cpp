#include "HistoryServer.h"

namespace historyserver {

bool supported() { return false; }

std::unique_ptr<HistoryDb> connect(const std::string&, std::string& error, const CMNC::AbortSignal*) {
  error = "this build keeps the load history in SQLite only: a history server (postgresql://...) is not supported here.";
  return nullptr;
}

bool holdsPassword(const std::string&, std::string&) { return false; }

}  // namespace historyserver
