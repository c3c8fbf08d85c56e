#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "Clock.h"
#include "LoadEvents.h"
#include "RunSettings.h"
#include "RunState.h"

class CommandChannel;
class FirmwareImageSet;

// One run of the engine (a firmware load or a port test) on a worker thread of its own: the
// thread, the abort flag and the stop. Created, then resumed; stopped (and joined) only by
// stop(), which the destructor also calls. The channel, the image set and the events outlive it.
class LoadWorker {
 public:
  using Procedure = std::function<void(LoadWorker&)>;

  // Without a procedure the worker runs the load driver.
  LoadWorker(CommandChannel& channel, FirmwareImageSet& images, const RunSettings& settings, Procedure procedure,
             LoadEvents& events, CMNC::Clock& clock = CMNC::Clock::system());
  ~LoadWorker();
  LoadWorker(const LoadWorker&) = delete;
  LoadWorker& operator=(const LoadWorker&) = delete;

  // Starts the worker thread (once). Called by the thread that owns the worker.
  void resume();
  // Sets the abort flag, purges the port with the abort flags so a blocked read or write ends,
  // waits for the thread, then disconnects the channel. Any thread but the worker's own; safe to
  // call more than once.
  void stop();
  // True once the procedure has returned (the thread may still be joinable).
  bool finished() const { return finished_.load(); }

  bool aborted() const { return abortRequested.load(); }
  // Sleeps ms in short slices, watching the abort flag. False when an abort came.
  bool sleep(int64_t ms);
  // Reports the stage the run enters, for the image with this title (or none).
  void enterStage(LoadStage stage, const std::string& image = "") { events.stageChanged(stage, image); }
  // The run ends failed for this reason: the reason as a fact, then the end of the run.
  void endFailed(const std::string& reason, FailureKind kind = FailureKind::Other) {
    events.failureReason(reason, kind);
    events.loadFailed();
  }

  // After an image: true when a stop after the image was asked and the set has more to load; the
  // run's state then says the run ended after title.
  bool stopsAfterImage(const std::string& title, bool moreToLoad, RunState& rs) const;
  // Reports what the turn of one planned image (named as the source names it) came to, from the
  // run's state after it: flashed, else refused, sent or failed with the step's words.
  void reportImage(const std::string& image, const RunState& rs) const;

  // Set by stop() (any thread), read by every step; never cleared during a run.
  std::atomic<bool> abortRequested{false};
  // Set by the session's stopAfterImage() (any thread), read between images.
  std::atomic<bool> stopAfterImage{false};
  CommandChannel* const channel;
  FirmwareImageSet* const images;
  const RunSettings settings;
  LoadEvents& events;
  CMNC::Clock& clock;

 private:
  Procedure procedure_;
  std::atomic<bool> finished_{false};
  std::thread thread_;
  bool stopped_ = false;
};
