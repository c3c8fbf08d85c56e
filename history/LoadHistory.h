#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "LiveState.h"
#include "LoadRecord.h"

class HistoryDb;
namespace CMNC {
class AbortSignal;
}

// The load history: the rows of every run, in a station's SQLite file that many processes write
// at once (write-ahead log, writers wait for each other's locks), or on the line's PostgreSQL
// server that every station writes. The schema is created when absent and brought up to date
// through its schema_version. Every call comes from one thread and blocks on the database.
class LoadHistory {
 public:
  // The schema this program writes.
  static constexpr int kSchemaVersion = 6;
  // How long a writer waits for the others' locks before it gives up.
  static constexpr int kBusyTimeoutMs = 10000;
  // How long a set-up step that the library refuses at once while locked waits before it retries.
  static constexpr int kBusyRetryMs = 10;

  // Opens the station's file (creating it and its folder) and brings the schema up to date; rows
  // kept beside it by runs it could not take (KeptOutcome) go into it. nullptr with error set when
  // the history cannot be used (an unwritable place, a newer program's schema). A set stop ends
  // the waits for another writer's lock.
  // On a network file system (networkfs) the write-ahead log cannot work: the file is written with
  // a rollback journal under an exclusive lock (one program at a time) and warning() says so.
  // journal overrides what the file system says (a test's stand-in for a network mount).
  enum class Journal { ByFileSystem, WriteAheadLog, Rollback };
  static std::unique_ptr<LoadHistory> open(const std::string& path, std::string& error,
                                           const CMNC::AbortSignal* stop = nullptr,
                                           Journal journal = Journal::ByFileSystem);
  // The same on the line's server (postgresql://...); also nullptr when it cannot be reached.
  // Every statement there has a deadline (PgDb), which a set stop cuts short.
  static std::unique_ptr<LoadHistory> openServer(const std::string& url, std::string& error,
                                                 const CMNC::AbortSignal* stop = nullptr);
  // Opens the file's path or the server's URL, whichever place names.
  static std::unique_ptr<LoadHistory> openPlace(const std::string& place, std::string& error);
  ~LoadHistory();
  // What the operator should know about how the history is kept ("" when nothing): a file on a
  // network file system.
  const std::string& warning() const { return warning_; }
  LoadHistory(const LoadHistory&) = delete;
  LoadHistory& operator=(const LoadHistory&) = delete;

  // A run starts: its row, as far as it is known.
  bool begin(const LoadRecord& record, std::string& error);
  // The run ended: the row's every column and its images.
  bool finish(const LoadRecord& record, std::string& error);
  // A row another history kept (pending on a station) arrives: it is written when this history
  // has no row of its id, or has only its start (no finish), and then written is true; a row
  // already here is left alone, also when many processes bring it at once.
  bool deliver(const LoadRecord& record, bool& written, std::string& error);
  // Rows newest first with their images. Rows of this station left unfinished by a process that
  // is gone are stored as interrupted first.
  std::vector<LoadRecord> list(const HistoryFilter& filter, std::string& error);
  // One row with its images, by its id; false when there is none (error set when the history
  // could not be read).
  bool row(const std::string& id, LoadRecord& record, std::string& error);
  // The activity log stored with a row; empty when the station stored none.
  StoredLog logOf(const std::string& id, std::string& error);
  // The line server's live rows (newest first): the one of id, or, id empty, every run that goes on
  // and every one that ended less than endedWithinS ago.
  std::vector<LiveRow> liveRuns(const std::string& id, int endedWithinS, std::string& error);
  // The line server's live row of a run written, its listeners told (the line service, for a
  // station that writes through it); clearOld also clears the rows of runs that ended a day ago.
  bool publishLive(const LiveState& state, bool clearOld, std::string& error);
  // The pending rows whose run ended (finished or interrupted), oldest first, with their images.
  std::vector<LoadRecord> pendingRows(std::string& error);
  // The line's server has the row: it is no longer pending here.
  bool markSent(const std::string& id, std::string& error);
  // Stores the unfinished rows of station whose process is not running as interrupted; returns
  // how many.
  int markInterrupted(const std::string& station, const std::function<bool(int64_t pid)>& running);
  // The file's path or the server's URL.
  std::string place() const;

 private:
  explicit LoadHistory(std::unique_ptr<HistoryDb> db);
  static std::unique_ptr<LoadHistory> ready(std::unique_ptr<HistoryDb> db, std::string& error);
  bool migrate(std::string& error);
  void takeKeptOutcomes(const std::string& path);
  bool writeImages(const LoadRecord& record);
  bool writeLog(const LoadRecord& record);
  bool writeRow(const std::string& sql, const LoadRecord& record, bool& written, std::string& error);
  std::vector<LoadRecord> select(const std::string& where, const std::vector<std::string>& values, const std::string& order,
                                 std::string& error, bool images = true);
  std::vector<RecordedImage> imagesOf(const std::string& id);
  std::unique_ptr<HistoryDb> db_;
  std::string warning_;
};
