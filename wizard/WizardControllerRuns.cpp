#include "WizardController.h"

// The wizard controller's runs: the port test, the load, a stop, an unattended run's end, the
// outcome and a stop signal.
#include "ActivityLog.h"
#include "ControlIds.h"
#include "FirmwareImageSet.h"
#include "ImageCatalogue.h"
#include "LinkKinds.h"
#include "Loader.h"
#include "WizardEvents.h"
#include "WizardModel.h"
#include "WizardView.h"

using namespace ids;

namespace {
// The result panel's colours: loaded and confirmed, loaded but not confirmed or stopped, failed.
ControlState::Tone resultTone(const RunOutcome& outcome) {
  if (outcome.kind == OutcomeKind::Confirmed) return ControlState::Tone::Good;
  if (outcome.kind == OutcomeKind::Unconfirmed || outcome.kind == OutcomeKind::Aborted ||
      outcome.failure == FailureKind::Unconfirmed)
    return ControlState::Tone::Caution;
  return ControlState::Tone::Bad;
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// Runs

WizardEvents& WizardController::newRunEvents() {
  failure_.clear();
  events_ = std::make_unique<WizardEvents>(*this, view_, ++run_);
  return *events_;
}

void WizardController::stopRun() {
  session_.stop();
  showTimeLeft("");
  events_.reset();
}

void WizardController::test() {
  if (running()) return;
  if (chosenPortIndex() < 0 || state(kPortList).current != portIndex_) return;
  lockForRun();
  controls_.replaceLog("Opening " + portEntry_.name + "...");
  controls_.setText(kCancel, "Stop");
  TestRequest request;
  request.port = portEntry_;
  request.method = selectedMethod_;
  const int selectedSpeed = state(kSpeedList).data();
  request.speeds.push_back({std::to_string(selectedSpeed), selectedSpeed});  // named by its number
  for (const SpeedEntry& e : wizard::speedsFor(job_.connection)) request.speeds.push_back(e);
  session_.startTest(request, newRunEvents());
}

void WizardController::testFinished() {
  stopRun();
  images_.clear();
  tested_ = session_.testResult();
  testedMethod_ = selectedMethod_;
  receiverModel_ = tested_.model;
  methodChange();
  controls_.setText(kCancel, "Cancel");
  if (selectedMethod_ == LoadMethod::FileUpload) {
    const int index = state(kSpeedList).find(session_.currentRate());
    if (index >= 0) choose(kSpeedList, index);
  }
  updateTitle();
  if (!job_.run) return;
  if (state(kNext).enabled) post(kNext);
  else endUnattended(false);
}

// The loading page's plan: what the pages chose, and what the port test found. The Loader runs it
// from the load on; the window shows its events.
LoadPlan WizardController::planOfPages() const {
  LoadPlan plan;
  plan.port = portEntry_;
  plan.password = CMNC::TakePassword(plan.port);
  plan.shownPort = CMNC::ShownPortText(job_.port.empty() ? portEntry_.name : job_.port);
  plan.method = selectedMethod_;
  const SourceKind kind = job_.run && job_.plainDataFile ? SourceKind::DataFile : sourceKind_;
  plan.methodWord = methodWord(selectedMethod_, kind);
  plan.sourceKind = sourceKind_;
  plan.imageFacts = sourceFacts_;  // read once, on the source page
  plan.speed = job_.speed;
  plan.mtu = job_.mtu;
  plan.replyGapMs = job_.replyGapMs;
  plan.blockSize = state(kBlockSizeList).data(LoadRequest::kDefaultBlockSizeChoice);
  plan.source = images_.source.empty() ? job_.source : images_.source;
  plan.images = images_;
  plan.sourceSha256 = sourceSha256_;
  plan.expectVersion = job_.expectVersion;
  plan.history = job_.history;
  plan.trust = job_.trust;
  plan.digestList = job_.digest.listFile;
  plan.tested = tested_;
  return plan;
}

void WizardController::startLoad() {
  firmwareChange_ = {};
  loaded_.clear();
  loadOutcome_.reset();
  // A window's new load starts with none of the last one's facts.
  stage_.reset();
  failure_.clear();
  refused_ = false;
  operatorStopped_ = false;
  outcomeKnown_ = false;
  controls_.setValue(kProgress, 0);
  controls_.show(kProgress, true);
  controls_.enable(kProgress, true);
  controls_.setText(kProgressText, "");
  controls_.setTone(kProgressText, ControlState::Tone::Plain);
  controls_.show(kProgressText, true);
  controls_.enable(kProgressText, true);
  controls_.setText(kCancel, "Abort");
  const LoadPlan plan = planOfPages();
  loadRun_.reset();
  loadStop_ = std::make_unique<RunStop>();
  RunThread thread{[this](std::function<void()> fn) { view_.post(std::move(fn)); }, {}};
  loadRun_ = Loader(session_).start(plan, runSink_, *loadStop_, std::move(thread), {});
}

// The load's end, as its run reported it: the outcome is the run's, the window shows it.
void WizardController::loadEnded(const RunOutcome& outcome) {
  loadOutcome_ = outcome;
  outcomeKnown_ = true;
  showTimeLeft("");
  images_.clear();
  exitStatus_ = outcome.exitStatus;
  firmwareChange_ = outcome.firmware;
  failure_ = outcome.kind == OutcomeKind::Confirmed ? "" : outcome.reason;
  refused_ = outcome.kind == OutcomeKind::Refused;
  if (outcome.stage) stage_ = outcome.stage;
  const bool loaded = outcome.kind == OutcomeKind::Confirmed || outcome.kind == OutcomeKind::Unconfirmed;
  if (loaded) controls_.setValue(kProgress, 100);
  controls_.setText(kProgressText, wizard::resultPanelText(outcome));
  controls_.setTone(kProgressText, resultTone(outcome));
  controls_.show(kSpinner, false);
  if (outcome.kind == OutcomeKind::Refused) {
    controls_.show(kProgress, false);
    controls_.enable(kProgress, false);
  }
  // The buttons say what they do: close the window, or go back and load another.
  controls_.setText(kCancel, "Close");
  controls_.setText(kBack, "Load another");
  controls_.enable(kBack, true);
  if (interrupted_ != 0) return;  // the interruption ends the wizard itself
  const bool success = exitStatus_ != kExitFailed;
  if (job_.run && job_.exitWhenDone && success) post(kCancel);
  endUnattended(success);
}

void WizardController::cancel() {
  if (page_ == Page::Loading && loadRun_ && !loadRun_->finished()) {
    loadRun_->abort();  // its end comes back as the load's events
    return;
  }
  if (!running()) {
    if (!job_.run) view_.close(false);
    else endUnattended(false);
    return;
  }
  stopRun();
  images_.clear();
  if (page_ == Page::Connection) {
    testedMethod_.reset();
    receiverModel_.clear();
    updateTitle();
    methodChange();
  }
  controls_.setText(kCancel, "Cancel");
  endUnattended(false);
}

// An unattended run ends. Without a display nobody can go on by hand, so the wizard ends too.
void WizardController::endUnattended(bool success) {
  if (interrupted_ != 0) return;  // the interruption ends the wizard itself
  const bool wasRunning = job_.run;
  job_.run = false;
  if (!success && wasRunning) exitStatus_ = 1;
  if (options_.headless && wasRunning && !(success && job_.exitWhenDone))
    view_.post([this] { view_.close(exitStatus_ == 0); });
}

void WizardController::windowClosing() {
  if (running()) operatorStopped_ = true;
  if (loadRun_) loadRun_->abort();
  stopRun();
}

namespace {
std::string lastLine(const std::string& text) {
  std::size_t end = text.find_last_not_of("\r\n ");
  if (end == std::string::npos) return {};
  const std::size_t start = text.find_last_of("\r\n", end);
  return text.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1) + 1);
}
}  // namespace

std::string WizardController::outcomeReason() const {
  if (loadOutcome_) return loadOutcome_->reason;
  if (exitStatus_ == kExitLoaded) return "Successfully loaded!";
  if (!failure_.empty()) return failure_;
  const std::string log = lastLine(state(kLogBox).text);
  return log.empty() ? lastLine(state(kPageText).text) : log;
}

// The last load's outcome, as its run decided it; before one ended, what the pages and the port
// test came to.
RunOutcome WizardController::outcome() const {
  if (loadOutcome_) {
    RunOutcome o = *loadOutcome_;
    o.exitStatus = exitStatus_;  // a stop signal after the load's end gives the program's status
    return o;
  }
  RunOutcome o;
  o.exitStatus = exitStatus_;
  o.reason = outcomeReason();
  if (operatorStopped_ || interrupted_ != 0) o.kind = OutcomeKind::Aborted;
  else if (refused_ || !stage_) o.kind = OutcomeKind::Refused;
  else o.kind = OutcomeKind::Failed;
  o.stage = stage_;
  o.port = CMNC::ShownPortText(job_.port.empty() ? portEntry_.name : job_.port);
  o.receiver = receiverFacts();
  o.sourceSha256 = sourceSha256_;
  return o;
}

std::string WizardController::interruptAdvice() const {
  if (!running() || page_ != Page::Loading)
    return "Interrupted: nothing was written to the receiver.";
  if (selectedMethod_ == LoadMethod::FileUpload)
    return "Interrupted: the receiver may hold a partly uploaded file or be restarting: wait until it answers, "
           "then load again.";
  return "Interrupted: the receiver may be left in its boot loader: switch it off and on and load again with "
         "Power On Capture.";
}

void WizardController::interrupt(int signal) {
  if (interrupted_ != 0) return;
  // A console run whose load has ended is closing with the outcome the load earned: a signal now
  // must not turn a confirmed load into an aborted one.
  if (options_.headless && outcomeKnown_) return;
  interrupted_ = signal;
  if (running()) operatorStopped_ = true;
  const std::string advice = interruptAdvice();
  if (running()) cancel();  // the run's last reports are queued before what follows
  job_.run = false;
  view_.post([this, advice] {
    controls_.append(kLogBox, "\r\n" + advice + "\r\n");
    exitStatus_ = 128 + interrupted_;
    view_.close(false);
  });
}
