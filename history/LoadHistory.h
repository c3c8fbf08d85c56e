#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "LoadRecord.h"

class SqliteDb;

// The load history: one SQLite file every run on a station writes its row into, many processes at
// once (write-ahead log, writers wait for each other's locks). The schema is created when absent
// and brought up to date through its schema_version. Every call comes from one thread.
class LoadHistory {
 public:
  // The schema this program writes.
  static constexpr int kSchemaVersion = 1;
  // How long a writer waits for the others' locks before it gives up.
  static constexpr int kBusyTimeoutMs = 10000;
  // How long a set-up step that the library refuses at once while locked waits before it retries.
  static constexpr int kBusyRetryMs = 10;

  // Opens (creating the file and its folder) and brings the schema up to date; nullptr with error
  // set when the history cannot be used (an unwritable place, a newer program's schema).
  static std::unique_ptr<LoadHistory> open(const std::string& path, std::string& error);
  ~LoadHistory();
  LoadHistory(const LoadHistory&) = delete;
  LoadHistory& operator=(const LoadHistory&) = delete;

  // A run starts: its row, as far as it is known.
  bool begin(const LoadRecord& record, std::string& error);
  // The run ended: the row's every column and its images.
  bool finish(const LoadRecord& record, std::string& error);
  // Rows newest first with their images. Rows of this station left unfinished by a process that
  // is gone are stored as interrupted first.
  std::vector<LoadRecord> list(const HistoryFilter& filter, std::string& error);
  // Stores the unfinished rows of station whose process is not running as interrupted; returns
  // how many.
  int markInterrupted(const std::string& station, const std::function<bool(int64_t pid)>& running);

 private:
  explicit LoadHistory(std::unique_ptr<SqliteDb> db);
  bool migrate(std::string& error);
  bool writeImages(const LoadRecord& record);
  std::vector<RecordedImage> imagesOf(const std::string& id);
  std::unique_ptr<SqliteDb> db_;
};
