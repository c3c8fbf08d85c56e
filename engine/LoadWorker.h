#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "Clock.h"
#include "LoadEvents.h"
#include "LoadJob.h"
#include "SourceKind.h"

class CommandChannel;
class FirmwareImageSet;

// One run of the engine (a firmware load or a port test) on a worker thread of its own. Created,
// configured, then resumed; stopped (and joined) only by stop(), which the destructor also calls.
class LoadWorker {
 public:
  using Procedure = std::function<uint32_t(LoadWorker&)>;

  // Without a procedure the worker runs the load driver.
  LoadWorker(CommandChannel* channel, LoadMethod method, bool portBPowerSlots, SourceKind sourceKind,
             FirmwareImageSet* images, Procedure procedure, const LoadJob& job, LoadEvents& events,
             CMNC::Clock& clock = CMNC::Clock::system());
  ~LoadWorker();
  LoadWorker(const LoadWorker&) = delete;
  LoadWorker& operator=(const LoadWorker&) = delete;

  // Starts the worker thread (once).
  void resume();
  // Sets the abort flag, purges the port with the abort flags so a blocked read or write ends,
  // waits for the thread, then disconnects the channel. Safe to call more than once.
  void stop();

  bool aborted() const { return abortRequested.load(); }
  // Sleeps ms in short slices, watching the abort flag. False when an abort came.
  bool sleep(int64_t ms);

  // The running worker (set by the load driver while it runs), or null.
  static LoadWorker* current();
  static void setCurrent(LoadWorker* worker);

  CommandChannel* const channel;
  FirmwareImageSet* const images;
  const LoadMethod method;
  std::atomic<bool> abortRequested{false};
  bool directUpload = false;
  int blockSize = 512;
  int putTimeout = 20;
  const LoadJob job;
  const bool portBPowerSlots;
  const SourceKind sourceKind;
  LoadEvents& events;
  CMNC::Clock& clock;

 private:
  Procedure procedure_;
  std::thread thread_;
  bool stopped_ = false;
};
