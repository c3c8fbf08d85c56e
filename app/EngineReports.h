#pragma once
#include <cstdint>
#include <functional>

#include "LoadEvents.h"

class LoadRun;

// The engine's reports of one engine run, from its worker thread, queued in order onto the run's
// thread and handed to the LoadRun there; a report that changes the page is dropped once its run
// was stopped (changesThePage).
class EngineReports final : public LoadEvents {
 public:
  // post queues work onto the run's thread; any thread may call it.
  using Post = std::function<void(std::function<void()>)>;
  EngineReports(LoadRun& run, Post post, uint64_t serial) : run_(run), post_(std::move(post)), serial_(serial) {}

  void report(EngineEvent event) override;

 private:
  LoadRun& run_;
  Post post_;
  uint64_t serial_;
};
