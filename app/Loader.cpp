#include "Loader.h"

#include <condition_variable>
#include <mutex>

#include "EventLoop.h"
#include "LoadRun.h"

namespace {

RunThread threadOf(EventLoop& loop) {
  return {[&loop](std::function<void()> fn) { loop.post(std::move(fn)); },
          [&loop](std::chrono::milliseconds delay, std::function<void()> fn) { loop.postAfter(delay, std::move(fn)); }};
}

}  // namespace

RunOutcome Loader::run(const LoadPlan& plan, RunSink& sink, RunStop& stop) {
  EventLoop loop;
  LoadRun run(session_, sink, stop, threadOf(loop));
  run.start(plan);
  loop.runUntil([&run] { return run.finished(); });
  return run.outcome();
}

RunOutcome Loader::refuse(const RunRequest& request, const PlanRefusal& refusal, RunSink& sink, RunStop& stop) {
  EventLoop loop;
  LoadRun run(session_, sink, stop, threadOf(loop));
  run.refuse(request, refusal.text, refusal.kind);
  loop.runUntil([&run] { return run.finished(); });
  return run.outcome();
}

std::unique_ptr<LoadRun> Loader::start(const LoadPlan& plan, RunSink& sink, RunStop& stop, RunThread thread,
                                       std::function<void(const RunOutcome&)> ended) {
  auto run = std::make_unique<LoadRun>(session_, sink, stop, std::move(thread), std::move(ended));
  run->start(plan);
  return run;
}

namespace {

// The identification's end as the engine reports it, waited for on the calling thread.
class IdentifyEvents final : public LoadEvents {
 public:
  void report(EngineEvent event) override {
    namespace ev = engineevent;
    if (const auto* failure = std::get_if<ev::Failure>(&event)) {
      std::lock_guard<std::mutex> lock(mutex_);
      reason_ = failure->reason;
    } else if (const auto* ended = std::get_if<ev::Ended>(&event)) {
      if (ended->kind == ev::Ended::Kind::Succeeded) end(true, "");
      else if (ended->kind == ev::Ended::Kind::Refused) end(false, ended->logText);
      else end(false, failedReason());
    }
  }
  // Ends the wait as a stop would.
  void interrupted(int signal) {
    std::lock_guard<std::mutex> lock(mutex_);
    signal_ = signal;
    ended_ = true;
    changed_.notify_all();
  }
  Identification wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return ended_; });
    Identification result;
    result.answered = answered_ && signal_ == 0;
    result.reason = reason_;
    result.signal = signal_;
    return result;
  }

 private:
  std::string failedReason() {
    std::lock_guard<std::mutex> lock(mutex_);
    return reason_.empty() ? "Receiver not found." : reason_;
  }
  void end(bool answered, const std::string& reason) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) return;
    answered_ = answered;
    if (!reason.empty()) reason_ = reason;
    ended_ = true;
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  bool ended_ = false, answered_ = false;
  std::string reason_;
  int signal_ = 0;
};

}  // namespace

Identification Loader::identify(const PortEntry& port, const std::vector<SpeedEntry>& speeds, RunStop& stop) {
  TestRequest request;
  request.port = port;
  request.method = LoadMethod::FileUpload;  // nothing but the questions: no cable rule, no rate change
  request.speeds = speeds;
  IdentifyEvents events;
  stop.listen([&events](RunStop::Kind, int signal) { events.interrupted(signal); });
  session_.startIdentify(request, events);
  Identification result = events.wait();
  stop.listen({});
  session_.stop();
  if (result.answered) result.receiver = session_.testResult();
  return result;
}
