#pragma once
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "ChildWait.h"
#include "FleetDisplay.h"
#include "PortNames.h"
#include "ReceiverState.h"

// One fleet run: a headless vestrel process per receiver, at most jobs at once, their JSON lines
// turned into each receiver's state. A stop stops every child cleanly (each gets the signal and
// closes its log) before the run returns. Runs on the caller's thread; everything it waits on
// (the children's output, a stop signal) ends one ChildWait.
class FleetRun {
 public:
  struct Settings {
    std::string vestrel;                   // the program
    std::vector<std::string> vestrelArgs;  // the options every child gets
    std::vector<std::string> ports;
    std::vector<std::string> logPaths;     // one per port
    int jobs = 0;                          // 0: all at once
    bool allowUnconfirmed = false;         // a load the receiver did not confirm counts as loaded
    std::string expectVersion;             // passed on to every load
    int retries = 0;                       // a failed load is tried again up to this many times
    bool bootLoaderMethod = false;         // the loads capture the boot loader (soft or power)
    portnames::Passwords passwords;        // reach each child through its environment, never its arguments
    std::vector<std::string> recordPaths;  // "--record-dir": one recording per port; empty: none
    std::vector<std::vector<std::string>> portArgs;  // options of one port's child (its order); empty: none
  };
  // The pause before a failed load is tried again.
  static constexpr int kRetryPauseMs = 5000;
  // The longest line a child may write; the rest of a longer one is dropped (and said so once).
  static constexpr std::size_t kMaxLineBytes = 64 * 1024;
  // How long stopped children get to end before they are killed.
  static constexpr int kStopGraceMs = 15000;
  static constexpr int kRefreshMs = 250;

  // A stop signal posted to the wait stops the run.
  FleetRun(Settings settings, FleetDisplay& display, ChildWait& wait);
  // Before run(): the receiver on the port already runs what is expected; it is not loaded.
  void markCurrent(std::size_t index, const std::string& model, const std::string& identity, const std::string& firmware);
  // Before run(): the port is not loaded, for reason (an unlisted receiver, one found nowhere).
  void markRefused(std::size_t index, const std::string& model, const std::string& identity, const std::string& reason);
  // Before run(): the receiver the order names on the port.
  void markListed(std::size_t index, const std::string& id, const std::string& workOrder) {
    receivers_[index].listed(id, workOrder);
  }
  ~FleetRun();
  // Runs every load to its end. Returns the exit status: 0 all loaded and confirmed (or unconfirmed, when allowed),
  // 1 any failed, 2 every child refused its
  // options, 128 + the signal after a stop.
  int run();
  const std::vector<ReceiverState>& receivers() const { return receivers_; }
  ReceiverState::Clock::time_point startTime() const { return start_; }

 private:
  struct Slot;
  void startNext();
  // Reads what a child's pipe holds; its lines go to the receiver's state.
  // One read of the child's pipe (a round of the poll reads each pipe at most once, so that no
  // child can keep the fleet from its stop); the child's end reads what is left.
  enum class Reading { Once, ToTheEnd };
  void readFrom(std::size_t index, ChildProcess::Stream stream, Reading reading = Reading::Once);
  void startChild(std::size_t index);
  // After a child ended: a failed load that may be tried again is put back for its next attempt.
  void scheduleRetry(std::size_t index);
  void startDueRetries(std::size_t& running, std::size_t limit);
  void lineFrom(std::size_t index, const std::string& line, bool errorStream);
  void reapEnded();
  void stop(int signal);
  int exitStatus() const;

  Settings settings_;
  FleetDisplay& display_;
  ChildWait& wait_;
  std::vector<ReceiverState> receivers_;
  std::vector<std::unique_ptr<Slot>> slots_;
  std::size_t next_ = 0;
  int stopSignal_ = 0;
  ReceiverState::Clock::time_point start_, stopDeadline_;
};
