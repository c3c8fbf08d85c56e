#include "LineStore.h"

LineStore::LineStore(std::string url, Access access) : url_(access == Access::ReadOnly ? readOnlyUrl(url) : url) {}

std::string LineStore::readOnlyUrl(const std::string& url) {
  // libpq's options: every transaction of the session is read-only, whatever the role may do.
  const char* option = "options=-c%20default_transaction_read_only%3Don";
  return url + (url.find('?') == std::string::npos ? "?" : "&") + option;
}

bool LineStore::with(const std::function<bool(LoadHistory&, std::string&)>& read, std::string& error) {
  std::unique_ptr<LoadHistory> history;
  {
    std::lock_guard lock(mutex_);
    if (!idle_.empty()) {
      history = std::move(idle_.back());
      idle_.pop_back();
    }
  }
  // A kept connection may have been lost while it waited (the server restarted): one failure of
  // it is tried again on a new connection.
  const bool kept = history != nullptr;
  for (int attempt = kept ? 0 : 1; attempt < 2; ++attempt) {
    if (!history) history = LoadHistory::openServer(url_, error);
    if (!history && error.find("read-only transaction") != std::string::npos)
      error += " The line's history is older than this vestrel-line, which only reads it: a station of this "
               "version brings it up to date the first time it writes there.";
    if (!history) return false;
    error.clear();
    if (read(*history, error)) break;
    history.reset();  // the connection goes with the failure
    if (attempt == 1) return false;
  }
  std::lock_guard lock(mutex_);
  if (idle_.size() < kMaxIdleConnections) idle_.push_back(std::move(history));
  return true;
}
