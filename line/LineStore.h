#pragma once
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "LoadHistory.h"

// The line's history as the service reads it (connections whose URL asks for read-only
// transactions) or, for the station API, writes it (a role of its own): connections to the server, each used by one request at a time and kept for the next; one that
// failed is dropped and made anew. Every call may come from any thread and blocks on the server
// (its deadlines at most); false or empty with error set when the server cannot be read.
class LineStore {
 public:
  static constexpr std::size_t kMaxIdleConnections = 8;

  enum class Access { ReadOnly, Write };
  explicit LineStore(std::string url, Access access = Access::ReadOnly);
  // Runs read with a connection of the pool; false with error set when none could be made or the
  // read failed (its error set).
  bool with(const std::function<bool(LoadHistory&, std::string&)>& read, std::string& error);
  // The URL connections are made with: url with the read-only option added.
  static std::string readOnlyUrl(const std::string& url);

 private:
  std::string url_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<LoadHistory>> idle_;
};
