#pragma once
#include <functional>
#include <memory>
#include <string>

#include "LoadJob.h"
#include "LiveState.h"
#include "LoadRecord.h"
#include "RunEvent.h"
#include "RunOutcome.h"

class LineRows;
class LivePublisher;
class LoadHistory;
namespace CMNC {
class AbortSignal;
}

// One run's row in the load history: written when the run starts talking to a receiver,
// completed when it ends. The history is the station's file, or the line's server; a row the
// server cannot take waits in the station's file, pending, and the next run that reaches the server
// sends the rows that wait first. A history that cannot be written never stops a load (unless the
// operator requires it): each call returns a warning to show instead. Every call comes from the
// front end's thread and blocks on the history: the server's deadlines at most, and for the final
// write, which is tried again while another writer holds the station's file, kFinalWriteBoundMs.
// On the line's server, where the run stands goes on the line's live view while it goes on
// (LivePublisher, from a thread of its own: a server away never holds the load), and the run's
// activity log goes with its row, compressed, passwords masked.
// A run's outcome is never lost to a history that cannot take it: it is kept beside the station's
// file (KeptOutcome) and goes in with the next run. A set stop cuts every wait short.
class RunRecord {
 public:
  // How long the final write is tried again, and the pause between tries.
  static constexpr int kFinalWriteBoundMs = 30000;
  static constexpr int kFinalWriteRetryMs = 500;

  explicit RunRecord(const HistorySettings& settings, const CMNC::AbortSignal* stop = nullptr);
  ~RunRecord();
  RunRecord(const RunRecord&) = delete;
  RunRecord& operator=(const RunRecord&) = delete;

  // A row is open: begun and not finished, on the server or in the station's file.
  bool open() const { return open_; }
  // The open row's id, or the last finished one's; empty when none was written.
  const std::string& id() const { return row_.id; }
  // Opens a row for a run over port with method on source; "" or a warning.
  std::string begin(const PortEntry& port, const std::string& method, const std::string& source);
  // The key that signed the source and its trusted comment, checked once the row was open (a
  // window's plan): written with the outcome.
  void signedBy(const std::string& key, const std::string& comment) {
    row_.signerKey = key;
    row_.signerComment = comment;
  }
  // What the run reports, for the line's live view (start, stage, receiver, progress).
  void observe(const RunEvent& event);
  // Completes the open row with the run's outcome; "" or a warning. Harmless without an open row.
  std::string finish(const RunOutcome& outcome);

 private:
  using Write = std::function<bool(LoadHistory&, std::string&)>;
  using ServerWrite = std::function<bool(LineRows&, std::string&)>;
  bool reachServer(const std::string& url, std::string& error);
  bool writeOnServer(const std::string& url, const ServerWrite& write, std::string& error);
  LoadHistory* stationHistory(std::string& error);
  std::string keepOnStation(const Write& write, const std::string& serverError);
  std::string finishOnStation();
  std::string keepBeside(const std::string& error);
  bool pause(int ms) const;
  std::string place() const;
  std::string stationPath() const;
  std::string finishRow();
  void startLive();
  void endLive();
  HistorySettings settings_;
  const CMNC::AbortSignal* stop_;
  std::unique_ptr<LineRows> server_;      // the line's server or service, while connected
  std::unique_ptr<LoadHistory> station_;  // the station's file
  bool unusable_ = false;                 // the station's file could not be opened
  std::string stationError_;              // why
  bool open_ = false;
  bool onServer_ = false;  // the open row is on the server
  LoadRecord row_;
  std::vector<std::string> secrets_;      // what the log must not show (the link's password)
  LiveState live_;
  std::unique_ptr<LivePublisher> publisher_;  // while a row on the line's server is open
};
