#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "EngineSession.h"
#include "LoadRun.h"
#include "LoadPlan.h"
#include "RunOutcome.h"
#include "RunStop.h"

class RunSink;

// What "--identify" learned: the receiver's answers, or why none came.
struct Identification {
  bool answered = false;
  PortTestSetup receiver;  // what it said, when it answered
  std::string reason;      // why not, when it did not
  int signal = 0;          // the stop signal that ended the wait; 0 when none did
};

// The one application call every front end makes: a plan is run against the receiver, on the
// calling thread, and its outcome returned typed. It owns what a run does around the engine:
// the link, the port test, the load, the confirmation, the history row begun and completed. It
// reports through sink only; stop ends it early from any thread.
class Loader {
 public:
  explicit Loader(EngineSession& session) : session_(session) {}

  // Runs the plan on the calling thread; returns once the outcome is known and its row written.
  RunOutcome run(const LoadPlan& plan, RunSink& sink, RunStop& stop);
  // Starts the plan on a thread that has its own queue (a window's); the run moves on as its work
  // is handled there and calls ended at its end. The run stops when it is destroyed.
  std::unique_ptr<LoadRun> start(const LoadPlan& plan, RunSink& sink, RunStop& stop, RunThread thread,
                                 std::function<void(const RunOutcome&)> ended);
  // A request refused while it was planned: its row and its end are reported, nothing is sent.
  RunOutcome refuse(const RunRequest& request, const PlanRefusal& refusal, RunSink& sink, RunStop& stop);
  // Asks the receiver on port who it is at the first of speeds it answers at, setting nothing in it.
  Identification identify(const PortEntry& port, const std::vector<SpeedEntry>& speeds, RunStop& stop);

 private:
  EngineSession& session_;
};
