#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "EngineSession.h"
#include "ExitStatus.h"
#include "FirmwareChange.h"
#include "LoadPlan.h"
#include "RunEvent.h"
#include "RunProgress.h"
#include "RunStop.h"
#include "SleepGuard.h"

class EngineReports;
class RunRecord;
class RunSink;

// Where a run's work is queued: its own thread's queue (a console's EventLoop, a window's
// messages). post runs work later on that thread, in order; postAfter once a delay has passed (a
// front end without timers leaves it empty, and a gentle stop then stops at once).
struct RunThread {
  std::function<void(std::function<void()>)> post;
  std::function<void(std::chrono::milliseconds, std::function<void()>)> postAfter;
};

// One run of a plan: the row in the load history, the port test, the source, the load and the
// receiver's confirmation, each reported as run events in the words the wizard's pages use. It
// never blocks its thread on the receiver: each step starts an engine run, and the engine's
// reports and stop requests, queued onto the run's thread, move it on. A plan that carries the
// port test's findings (a window walked its pages) starts at the load. Loader makes one a run.
class LoadRun {
 public:
  // A gentle stop waits this long at most for the image being written; then it stops as a signal.
  static constexpr int kFinishImageBoundS = 15 * 60;
  using Ended = std::function<void(const RunOutcome& outcome)>;

  // ended is called on the run's thread once the outcome is known and its row written.
  LoadRun(EngineSession& session, RunSink& sink, RunStop& stop, RunThread thread, Ended ended = {});
  ~LoadRun();
  LoadRun(const LoadRun&) = delete;
  LoadRun& operator=(const LoadRun&) = delete;

  // Starts the run; returns at once.
  void start(LoadPlan plan);
  // A request that could not become a plan: its row says so, nothing is sent to the receiver.
  void refuse(const RunRequest& request, const std::string& refusal, FailureKind kind = FailureKind::SourceRefused);
  // The operator stopped the run ("Abort", a closed window).
  void abort();
  bool finished() const { return finished_; }
  // The outcome, once finished.
  const RunOutcome& outcome() const { return result_; }

  // An engine run's report, queued onto the run's thread by EngineReports.
  bool isCurrentRun(uint64_t run) const;
  void engineReport(uint64_t run, const EngineEvent& event);

 private:
  enum class Page { None, Connection, Source, Loading };

  // The steps; each checks that the run goes on, and the engine's end moves it to the next.
  bool begin(const RunRequest& request);
  void connect();
  void selectSource();
  void enterLoading();
  void load();
  void keepAwake();
  bool fitsReceiver();
  void saySignature();
  void refuseLoad(const std::string& refusal, FailureKind kind);
  bool goesOn() const;
  void later(std::function<void()> fn);
  EngineReports& nextEngineRun();
  // The run ends once what is queued now was handled.
  void end();
  void testFinished();
  void loadFinished();
  std::string expectedVersionMismatch() const;
  void cancel();
  void endRun();
  // The end: the outcome, the row completed, the last event.
  void finish();
  RunOutcome currentOutcome() const;
  std::string reason() const;
  ReceiverFacts receiverFacts() const;
  void interrupt(int signal);
  void finishImage(int signal);
  std::string interruptAdvice() const;

  // The engine's reports, one by one.
  void note(const Note& note);
  void progressReport(int percent);
  void transferReport(uint64_t done, uint64_t total);
  void identityReport(const std::string& identity);
  void hardwareReport(const std::string& version);
  void stageReport(LoadStage stage, const std::string& image);
  void runSucceeded(uint64_t run);
  void runAborted(uint64_t run);
  void runRefused(uint64_t run, const std::string& pageText, const std::string& logText);
  void planImages(const std::vector<std::string>& names);
  void imageDone(const engineevent::ImageDone& done);
  void closingLines();
  FailureKind failureKind() const;
  std::string remedy() const;

  // The texts, as the wizard's controls take them.
  void send(RunEvent event);
  void setPageText(const std::string& text, Severity severity = Severity::Info);
  void appendPage(const std::string& text);
  void clearPage();
  void appendLog(const std::string& text, Severity severity = Severity::Info);
  void replaceLog(const std::string& text);
  void clearLog();
  void recordWarning(const std::string& warning);
  void learnedReceiver();

  EngineSession& session_;
  RunSink& sink_;
  RunStop& stop_;
  RunThread thread_;
  Ended ended_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // queued work of a run that is gone is dropped
  LoadPlan plan_;
  bool ending_ = false, finished_ = false;
  RunOutcome result_;
  std::unique_ptr<RunRecord> record_;
  std::unique_ptr<EngineReports> reports_;
  std::unique_ptr<SleepGuard> sleepGuard_;  // from the load's first byte to its confirmation
  uint64_t run_ = 0;          // serial of the engine run under way; its reports carry it
  bool runEnded_ = true;      // the engine run under way has ended
  Page page_ = Page::None;
  FirmwareImageSet images_;   // the set the engine loads, from the plan
  PortTestSetup tested_;      // what the port test found
  std::string pageText_, logText_;  // the page's text and the log box, as shown
  std::string shownPort_;
  int exitStatus_ = 0;
  FirmwareChange firmwareChange_;
  int interrupted_ = 0;        // the signal that stops the run, once one came
  bool windingDown_ = false;   // asked to stop once the image being written is flashed
  bool outcomeKnown_ = false;  // the load ended: its outcome is decided
  bool loadWentThrough_ = false;  // the engine's load succeeded (the receiver's answer decides the rest)
  std::optional<LoadStage> stage_;
  std::string failure_;        // why the run failed, as the engine (or a check after it) said
  FailureKind failureKind_ = FailureKind::Other;  // and what kind of failure that is
  std::optional<bool> fileSystemReady_;  // after the load: whether the receiver's file system came back ready
  std::string currentImage_;   // the title of the image under way
  int imageIndex_ = 0;         // its place among results_, from 1
  std::string stopAdvice_;     // what a stop said of the receiver's state when it came
  std::string identity_, hardware_;
  bool operatorStopped_ = false;
  bool refused_ = false;
  std::vector<LoadedImage> results_;  // the load's images and their results
  RunProgress runProgress_;
  uint64_t done_ = 0, total_ = 0;  // the current transfer's bytes
  std::string sourceSha256_;
};
