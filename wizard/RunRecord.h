#pragma once
#include <memory>
#include <string>

#include "LoadJob.h"
#include "LoadRecord.h"
#include "RunOutcome.h"

class LoadHistory;

// One run's row in the load history: written when the run starts talking to a receiver,
// completed when it ends. A history that cannot be written never stops a load: each call returns
// a warning to show instead. Every call comes from the front end's thread.
class RunRecord {
 public:
  explicit RunRecord(const HistorySettings& settings);
  ~RunRecord();
  RunRecord(const RunRecord&) = delete;
  RunRecord& operator=(const RunRecord&) = delete;

  // A row is open: begun and not finished.
  bool open() const { return open_; }
  // The open row's id, or the last finished one's; empty when none was written.
  const std::string& id() const { return row_.id; }
  // Opens a row for a run over port with method on source; "" or a warning.
  std::string begin(const PortEntry& port, const std::string& method, const std::string& source);
  // Completes the open row with the run's outcome; "" or a warning. Harmless without an open row.
  std::string finish(const RunOutcome& outcome);

 private:
  std::string warning(const std::string& error);
  HistorySettings settings_;
  std::unique_ptr<LoadHistory> history_;
  bool unusable_ = false;  // the history could not be opened: said once
  bool open_ = false;
  LoadRecord row_;
};
