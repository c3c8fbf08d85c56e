#pragma once
#include <vector>

#include "RunEvent.h"

// Where a run's events go. Called on the thread that runs the load (Loader::run's caller), in
// order; a sink never blocks for long and never throws.
class RunSink {
 public:
  virtual ~RunSink() = default;
  virtual void event(const RunEvent& event) = 0;
};

// Several sinks as one: each event goes to each, in the order given.
class RunSinks final : public RunSink {
 public:
  explicit RunSinks(std::vector<RunSink*> sinks) : sinks_(std::move(sinks)) {}
  void event(const RunEvent& event) override {
    for (RunSink* sink : sinks_) sink->event(event);
  }

 private:
  std::vector<RunSink*> sinks_;
};
