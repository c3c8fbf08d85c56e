#include "IdentifyRun.h"

#include <condition_variable>
#include <iostream>
#include <mutex>

#include "ConsoleText.h"
#include "InterruptWatch.h"
#include "JsonEvents.h"
#include "LinkKinds.h"
#include "PortResolution.h"
#include "PrintableText.h"
#include "WizardModel.h"

namespace {

// The identification's end as the engine reports it, waited for on the calling thread.
class IdentifyEvents final : public LoadEvents {
 public:
  void appendStatus(const std::string&) override {}
  void appendLog(const std::string&) override {}
  void setProgress(int) override {}
  void pulse() override {}
  void showWarning(const std::string&) override {}
  void loadSucceeded() override { end(true, ""); }
  void loadAborted() override { end(false, reason_.empty() ? "Receiver not found." : reason_); }
  void startRefused(const std::string&, const std::string& logText) override { end(false, logText); }
  void failureReason(const std::string& reason) override {
    std::lock_guard<std::mutex> lock(mutex_);
    reason_ = reason;
  }
  // Ends the wait as a stop would.
  void interrupted(int signal) {
    std::lock_guard<std::mutex> lock(mutex_);
    signal_ = signal;
    ended_ = true;
    changed_.notify_all();
  }
  // Waits for the end; true when the receiver answered.
  bool wait(std::string& reason, int& signal) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return ended_; });
    reason = reason_;
    signal = signal_;
    return answered_;
  }

 private:
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

std::string orNotAnswered(const std::string& s) { return s.empty() ? "not answered" : printable(s); }

void printFound(std::ostream& out, const std::string& port, const PortTestSetup& r, bool json) {
  if (json) {
    using jsonevents::textOrNull;
    out << jsonevents::line({{"port", port},
                             {"found", true},
                             {"model", textOrNull(r.model)},
                             {"id", textOrNull(r.identity)},
                             {"hardware", textOrNull(r.hardware)},
                             {"board", textOrNull(r.board)},
                             {"firmware", textOrNull(r.mainFirmware)},
                             {"rate", r.answeredRate > 0 ? jsonevents::Json(r.answeredRate) : jsonevents::Json(nullptr)}});
    return;
  }
  out << "Receiver on " << port << ":\n"
      << "  Model:             " << orNotAnswered(r.model) << "\n"
      << "  Identity:          " << orNotAnswered(r.identity) << "\n"
      << "  Hardware version:  " << orNotAnswered(r.hardware) << "\n"
      << "  Board:             " << orNotAnswered(r.board) << "\n"
      << "  Main firmware:     " << orNotAnswered(r.mainFirmware) << "\n";
  if (r.answeredRate > 0) out << "  Answered at:       " << r.answeredRate << " bit/s\n";
}

void printNotFound(std::ostream& out, const std::string& port, const std::string& reason, bool json) {
  std::string why = withoutCarriageReturns(reason);
  while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
  if (json) {
    out << jsonevents::line({{"port", port}, {"found", false}, {"reason", why}});
    return;
  }
  out << "No receiver answered on " << port << ": " << printable(why) << "\n";
}

}  // namespace

int runIdentify(EngineSession& session, const LoadJob& job, bool json, std::ostream& out) {
  const std::string shown = CMNC::ShownPortText(job.port);
  TestRequest request;
  std::string unusable;
  if (!entryOfJob(job, request.port, unusable)) {
    std::cerr << "vestrel: " << unusable << "\n";
    return 2;
  }
  request.method = LoadMethod::FileUpload;  // nothing but the questions: no cable rule, no rate change
  request.speeds.push_back({std::to_string(job.speed), static_cast<int>(job.speed)});
  for (const SpeedEntry& e : wizard::speedsFor(request.port.kind))
    if (e.speed != static_cast<int>(job.speed)) request.speeds.push_back(e);
  IdentifyEvents events;
  std::string reason;
  int signal = 0;
  bool answered = false;
  {
    const InterruptWatch watch([&events](int s) { events.interrupted(s); }, [&events](int s) { events.interrupted(s); });
    session.startIdentify(request, events);
    answered = events.wait(reason, signal);
    session.stop();
  }
  if (signal != 0) {
    printNotFound(out, shown, "Interrupted.", json);
    return 128 + signal;
  }
  if (answered) printFound(out, shown, session.testResult(), json);
  else printNotFound(out, shown, reason, json);
  out << std::flush;
  return answered ? 0 : 1;
}
