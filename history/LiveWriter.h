#pragma once
#include <memory>
#include <string>

#include "AbortSignal.h"
#include "LiveState.h"

class HistoryDb;

// Writes a run's LiveState into the line server's live_runs table and tells every listener of
// the channel kChannel the run's id (NOTIFY), in one statement; a run's first write also clears
// the live rows of runs that ended more than a day ago. Connects at its first write and again
// after the server was away. Called from one thread (the publisher's); blocks up to the server's
// deadlines, which the stop given cuts short.
class LiveWriter {
 public:
  static constexpr const char* kChannel = "vestrel_live";

  LiveWriter(std::string url, const CMNC::AbortSignal* stop);
  ~LiveWriter();
  LiveWriter(const LiveWriter&) = delete;
  LiveWriter& operator=(const LiveWriter&) = delete;
  // false with error set when the server could not take it (the connection is then given up).
  bool write(const LiveState& state, std::string& error);
  // The upsert and its NOTIFY on a connection the caller has (the line service's); false with
  // error set.
  static bool upsert(HistoryDb& db, const LiveState& state, std::string& error);
  // The live rows of runs that ended more than a day ago cleared; false when that failed.
  static bool clearOld(HistoryDb& db);

 private:
  std::string url_;
  const CMNC::AbortSignal* stop_;
  std::unique_ptr<HistoryDb> db_;
  bool cleared_ = false;
};
