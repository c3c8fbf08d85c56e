#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "EngineSession.h"
#include "EventLoop.h"
#include "ExitStatus.h"
#include "FirmwareChange.h"
#include "LoadPlan.h"
#include "RunEvent.h"
#include "RunProgress.h"
#include "RunStop.h"

class EngineReports;
class RunRecord;
class RunSink;

// One unattended run of a plan, on the calling thread: the row in the load history, the port test,
// the source, the load and the receiver's confirmation, each reported as run events in the words
// the wizard's pages use; the engine's reports and stop requests are queued onto the run's own
// loop and handled there in order. Loader makes one a run.
class LoadRun {
 public:
  // A gentle stop waits this long at most for the image being written; then it stops as a signal.
  static constexpr int kFinishImageBoundS = 15 * 60;

  LoadRun(EngineSession& session, RunSink& sink, RunStop& stop);
  ~LoadRun();
  LoadRun(const LoadRun&) = delete;
  LoadRun& operator=(const LoadRun&) = delete;

  RunOutcome run(const LoadPlan& plan);
  // A request that could not become a plan: its row says so, nothing is sent to the receiver.
  RunOutcome refuse(const RunRequest& request, const std::string& refusal);

  // The engine's reports, queued onto the run's thread by EngineReports.
  bool isCurrentRun(uint64_t run) const;
  void statusReport(const std::string& text);
  void pageTextReport(const std::string& text);
  void logReport(const std::string& text);
  void progressReport(int percent);
  void pulseReport();
  void transferReport(uint64_t done, uint64_t total);
  void runPlanReport(uint64_t totalBytes);
  void identityReport(const std::string& identity);
  void stageReport(LoadStage stage, const std::string& image);
  void failureReport(const std::string& reason);
  void hardwareReport(const std::string& version);
  void warningReport(const std::string& text);
  void runSucceeded(uint64_t run);
  void runAborted(uint64_t run);
  void runRefused(uint64_t run, const std::string& pageText, const std::string& logText);

 private:
  enum class Page { None, Connection, Source, Loading };

  // The steps, each false when the run ends there.
  bool begin(const RunRequest& request);
  bool test();
  bool selectSource();
  bool load();
  void waitForEnd();
  bool goesOn();
  void testFinished();
  void loadFinished();
  std::string expectedVersionMismatch() const;
  void cancel();
  void endRun();
  // The end: the outcome, the row completed, the last event.
  RunOutcome finish();
  RunOutcome outcome() const;
  std::string reason() const;
  ReceiverFacts receiverFacts() const;
  void interrupt(int signal);
  void finishImage(int signal);
  std::string interruptAdvice() const;

  // The texts, as the wizard's controls take them.
  void emit(RunEvent event);
  void setPageText(const std::string& text);
  void appendPage(const std::string& text);
  void clearPage();
  void appendLog(const std::string& text);
  void replaceLog(const std::string& text);
  void clearLog();
  void recordWarning(const std::string& warning);
  void learnedReceiver();

  EngineSession& session_;
  RunSink& sink_;
  RunStop& stop_;
  EventLoop loop_;
  const LoadPlan* plan_ = nullptr;
  std::unique_ptr<RunRecord> record_;
  std::unique_ptr<EngineReports> reports_;
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
  std::optional<LoadStage> stage_;
  std::string failure_;        // why the run failed, as the engine (or a check after it) said
  std::string identity_, hardware_;
  bool operatorStopped_ = false;
  bool refused_ = false;
  std::vector<LoadedImage> loaded_;
  RunProgress runProgress_;
  uint64_t done_ = 0, total_ = 0;  // the current transfer's bytes
  std::string sourceSha256_;
};
