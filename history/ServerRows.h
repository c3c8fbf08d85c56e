#pragma once
#include <memory>

#include "LineRows.h"
#include "LoadHistory.h"

// The line's rows on its PostgreSQL server, through a LoadHistory (owned, or one the caller keeps).
class ServerRows : public LineRows {
 public:
  explicit ServerRows(std::unique_ptr<LoadHistory> history);
  explicit ServerRows(LoadHistory& history);

  bool begin(const LoadRecord& row, std::string& error) override { return history_.begin(row, error); }
  bool finish(const LoadRecord& row, std::string& error) override { return history_.finish(row, error); }
  bool deliver(const LoadRecord& row, bool& written, std::string& error) override {
    return history_.deliver(row, written, error);
  }
  void markInterrupted(const std::string& station, const std::function<bool(int64_t pid)>& running) override {
    history_.markInterrupted(station, running);
  }

 private:
  std::unique_ptr<LoadHistory> owned_;
  LoadHistory& history_;
};
