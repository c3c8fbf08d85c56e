#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "EngineSession.h"
#include "LoadPlan.h"
#include "LoadRun.h"
#include "RunStop.h"
#include "FirmwareChange.h"
#include "RunOutcome.h"
#include "RunProgress.h"
#include "LoadJob.h"
#include "PortEntry.h"
#include "SourceKind.h"
#include "WizardControls.h"
#include "WizardRunSink.h"

class FirmwareImageSet;
namespace CMNC {
class AbortSignal;
}
class WizardView;
class WizardEvents;

// The wizard without any widget: its three pages (connection, source, loading), the rules of
// which controls are shown and enabled, the unattended presses of "/run", the handling of the
// engine's reports and the exit status. A front end renders its controls (WizardView) and passes
// the operator's presses and choices in; the engine session does all the receiver work.
// Every call comes from the front end's thread.
class WizardController {
 public:
  enum class Page { Connection, Source, Loading };
  // The ports of a kind the port box lists (stored hosts and devices, enumerated ports).
  using PortDirectory = std::function<std::vector<PortEntry>(ConnectionKind)>;

  struct Options {
    bool headless = false;  // nobody can press a button: an ended unattended run closes the wizard
    bool bluetoothAvailable = false;
    PortDirectory ports;    // empty: the enumerated serial and USB ports only
    // Set by a stop signal: cuts short what blocks the front end's thread (the source's digest,
    // the history's waits). Outlives the controller; none in a window, which stops by its own means.
    const CMNC::AbortSignal* stop = nullptr;
  };

  WizardController(WizardView& view, EngineSession& session, LoadJob& job, SourceKind& sourceKind,
                   FirmwareImageSet& images, Options options);
  ~WizardController();
  WizardController(const WizardController&) = delete;
  WizardController& operator=(const WizardController&) = delete;

  // Enters the first page, as "Next >>" would. An unattended run's source is checked first against
  // the digests the operator gave.
  void start();
  // A button press (also of a disabled or hidden button, as a posted command would be).
  void press(int id);
  // Queues a press, to run after the reports already queued.
  void post(int id);
  // The operator chose item index of a list.
  void choose(int id, int index);
  // The operator typed text into the connection page's port box (and left it, or pressed Enter).
  void typePort(const std::string& text);
  // The source page's "Select" with a path already chosen (by the file dialog or the command line).
  void selectSourcePath(const std::string& path);
  // The window is closing: a running test or load is stopped first.
  void windowClosing();
  // The program was asked to stop by a signal: a running test or load is aborted as "Abort"
  // would, the last line says what state the receiver may be in, and the wizard closes with the
  // exit status 128 + the signal's number. Once a console run's load has ended, its outcome and
  // exit status stand: the signal changes nothing.
  void interrupt(int signal);
  // What an interruption at this moment may have left in the receiver, and what to do.
  std::string interruptAdvice() const;

  const ControlState& state(int id) const { return controls_.state(id); }
  const WizardControls& controls() const { return controls_; }
  std::optional<Page> page() const { return page_; }
  // A port test or a load is under way (a load from its start to its end, also while its run waits
  // to be handled).
  bool running() const { return session_.running() || (loadRun_ && !loadRun_->finished()); }
  // The program's exit status: kExitLoaded (a load the receiver confirmed), kExitFailed (failed or
  // aborted), kExitUnconfirmed (a firmware load the receiver did not confirm afterwards), or
  // 128 + the stop signal.
  static constexpr int kExitLoaded = 0;
  static constexpr int kExitFailed = 1;
  static constexpr int kExitUnconfirmed = 3;
  int exitStatus() const { return exitStatus_; }
  // How the run ended, in one line: "Successfully loaded!" or the last thing said about why not.
  std::string outcomeReason() const;
  // How the run ended, as facts: its kind, the stage it ended in, the port, the receiver, the
  // images loaded.
  RunOutcome outcome() const;
  // What the run learned of the receiver so far.
  ReceiverFacts receiverFacts() const;
  // The main firmware's version before and after the last successful load.
  const FirmwareChange& firmwareChange() const { return firmwareChange_; }
  std::string title() const;

  // The engine's reports, on the front end's thread (WizardEvents queues them here).
  // The run with this serial is the one under way (not stopped, not replaced by a newer one).
  bool isCurrentRun(uint64_t run) const;
  void statusReport(const std::string& text);
  void pageTextReport(const std::string& text);
  void logReport(const std::string& text);
  void progressReport(int percent);
  void pulseReport();
  void transferReport(uint64_t done, uint64_t total);
  void runPlanReport(uint64_t totalBytes);
  void identityReport(const std::string& identity);
  void stageReport(LoadStage stage);
  void failureReport(const std::string& reason);
  void hardwareReport(const std::string& version);
  void warningReport(const std::string& text);
  // A load's run events (WizardRunSink hands them here): the log box's new text, progress with the
  // whole load's time left, the receiver's facts, an image written, the load's end.
  void logReplaced(const std::string& text);
  void loadProgressReport(const TransferProgress& progress);
  // A load still waits on the receiver: the spinner turns, the whole load's bar stays where it is.
  void loadWaitReport();
  void receiverReport(const ReceiverFacts& facts);
  void imageLoadedReport(const LoadedImage& image);
  void loadEnded(const RunOutcome& outcome);
  bool warningShowing() const { return warningShowing_.load(); }
  // The end of a run; reports of a run that was already stopped or replaced are dropped.
  void runSucceeded(uint64_t run);
  void runAborted(uint64_t run);
  void runRefused(uint64_t run, const std::string& pageText, const std::string& logText);

 private:
  void createControls();
  void next();
  void back();
  void enterPage(Page page);
  void enterConnectionPage();
  void enterSourcePage();
  void enterLoadingPage();

  void connectionChange();
  void refuseConnection(int index);
  void fillMethodList(ConnectionKind kind);
  void fillSpeedList(ConnectionKind kind);
  void fillPortList(bool kindChanged);
  void portChange();
  void methodChange();
  void lockForRun();
  void sourceChange();
  void selectSource();
  void test();
  void startLoad();
  void testFinished();
  LoadPlan planOfPages() const;
  void cancel();
  void stopRun();
  WizardEvents& newRunEvents();
  void endUnattended(bool success);
  void updateTitle();
  void showTimeLeft(const std::string& text);
  void openSetUpDevices();
  bool sourceDigestsMatch();
  uint64_t maxSourceBytes() const;
  std::string digestSourceSet(const std::string& path);
  std::function<bool()> stopped() const;
  int chosenPortIndex() const;
  ConnectionKind chosenConnection() const;

  WizardView& view_;
  EngineSession& session_;
  LoadJob& job_;
  SourceKind& sourceKind_;
  FirmwareImageSet& images_;
  Options options_;
  WizardControls controls_;
  std::unique_ptr<WizardEvents> events_;
  uint64_t run_ = 0;  // serial of the latest run; its events carry it

  std::optional<Page> page_;
  int portIndex_ = -1;
  int sourceIndex_ = -1;
  PortEntry portEntry_;
  std::vector<PortEntry> ports_;
  LoadMethod selectedMethod_ = LoadMethod::SoftBreakCapture;
  std::optional<LoadMethod> testedMethod_;
  PortTestSetup tested_;  // what the last passed port test found
  std::string titleBase_ = "Vestrel", titlePort_, receiverModel_;
  std::atomic<bool> warningShowing_{false};
  int exitStatus_ = 0;
  FirmwareChange firmwareChange_;
  int interrupted_ = 0;  // the signal that stops the program, once one came
  bool outcomeKnown_ = false;  // a load ended: its outcome is decided
  // The facts of the run so far, for its outcome.
  std::optional<LoadStage> stage_;   // the last stage the engine reported
  std::string failure_;              // why the last run failed, as the engine (or the check after it) said
  std::string identity_;             // the receiver's identity, when a run asked for it
  std::string hardware_;             // its hardware version, when its boot loader told it
  bool operatorStopped_ = false;     // Abort, the window's close or a stop signal ended a run
  bool refused_ = false;             // a run could not start
  std::vector<LoadedImage> loaded_;
  std::string portNotListed_;   // why the command line's port is not in the port box
  bool sourceOffered_ = false;  // the command line's source was chosen once already
  std::vector<ImageFacts> sourceFacts_;  // the chosen images as the source page read them  // what the last load that ended wrote
  RunProgress runProgress_;          // the whole load's bytes and time left
  std::string timeLeft_;             // "about 3 min left" in the title while a load runs
  std::string sourceSha256_;         // the source file's digest, once it was read
  // The load under way, run by the application's Loader on this thread; its events come back
  // through runSink_. Each load is a run of its own, with its own row of the load history.
  WizardRunSink runSink_{*this};
  std::unique_ptr<RunStop> loadStop_;
  std::unique_ptr<LoadRun> loadRun_;
  std::optional<RunOutcome> loadOutcome_;  // how the last load ended
};
