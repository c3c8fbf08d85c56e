#include "WizardController.h"

// The wizard controller's runs: the port test, the load, a stop, an unattended run's end, the
// outcome and a stop signal.
#include "ActivityLog.h"
#include "ControlIds.h"
#include "FirmwareImageSet.h"
#include "ImageCatalogue.h"
#include "LinkKinds.h"
#include "RunRecord.h"
#include "Sha256.h"
#include "WizardEvents.h"
#include "WizardModel.h"
#include "VersionMatch.h"
#include "WizardView.h"

using namespace ids;

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
  if (session_.running()) return;
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

void WizardController::startLoad() {
  beginRecord(portEntry_);
  firmwareChange_ = {};
  loaded_.clear();
  controls_.setValue(kProgress, 0);
  controls_.show(kProgress, true);
  controls_.enable(kProgress, true);
  controls_.setText(kCancel, "Abort");
  LoadRequest request;
  request.port = portEntry_;
  request.method = selectedMethod_;
  request.sourceKind = sourceKind_;
  request.speed = job_.speed;
  request.mtu = job_.mtu;
  request.replyGapMs = job_.replyGapMs;
  request.blockSizeChoice = state(kBlockSizeList).data(LoadRequest::kDefaultBlockSizeChoice);
  request.receiverPort = tested_.currentPort;
  request.portBPowerSlots = tested_.portBPowerSlots;
  session_.startLoad(request, images_, newRunEvents());
}

void WizardController::loadFinished() {
  stopRun();  // the session brings the receiver back to its normal rate
  for (const FirmwareImage& image : images_.images) {
    loaded_.push_back({image.fileName, image.title, image.size(), Sha256::of(image.data().data(), image.size())});
    ActivityLog::Instance().Write("Image digest (SHA-256): " + loaded_.back().sha256 + "  " + image.fileName + "\r\n");
  }
  images_.clear();
  controls_.setPageText("Successfully loaded!");
  exitStatus_ = kExitLoaded;
  if (sourceKind_ != SourceKind::DataFile) {
    firmwareChange_ = {true, tested_.mainFirmware, session_.firmwareAfterLoad()};
    controls_.append(kLogBox, "\r\n" + firmwareChange_.line() + "\r\n");
    // Only the receiver's answer confirms a firmware load; a plain data file is confirmed by the
    // size check of the upload itself.
    if (!firmwareChange_.confirmed()) exitStatus_ = kExitUnconfirmed;
    if (const std::string mismatch = expectedVersionMismatch(); !mismatch.empty()) {
      controls_.append(kLogBox, mismatch + "\r\n");
      failure_ = mismatch;
      exitStatus_ = kExitFailed;
    }
  }
  controls_.setValue(kProgress, 100);
  controls_.setText(kCancel, "Exit");
  controls_.enable(kBack, true);
  loadEnded();
  if (job_.run && job_.exitWhenDone && exitStatus_ != kExitFailed) post(kCancel);
  endUnattended(exitStatus_ != kExitFailed);
}

// "--expect-version": what is wrong with the version the receiver runs after the load, or "".
std::string WizardController::expectedVersionMismatch() const {
  const std::string& expected = job_.expectVersion;
  if (expected.empty()) return "";
  const std::string& after = firmwareChange_.after;
  if (after.empty())
    return "The receiver did not answer for its main firmware after the load; " + expected + " was expected.";
  if (versionMatches(after, expected)) return "";
  return "The receiver runs main firmware " + after + ", but " + expected + " was expected.";
}

void WizardController::cancel() {
  if (!session_.running()) {
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
  } else if (page_ == Page::Loading) {
    controls_.setPageText("The firmware loading was aborted.");
    controls_.enable(kBack, true);
    exitStatus_ = kExitFailed;
    loadEnded();
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
  if (session_.running()) operatorStopped_ = true;
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
  if (exitStatus_ == kExitLoaded) return "Successfully loaded!";
  if (exitStatus_ == kExitUnconfirmed) return firmwareChange_.line();
  if (!failure_.empty()) return failure_;
  const std::string log = lastLine(state(kLogBox).text);
  return log.empty() ? lastLine(state(kPageText).text) : log;
}

RunOutcome WizardController::outcome() const {
  RunOutcome o;
  o.exitStatus = exitStatus_;
  o.reason = outcomeReason();
  o.firmware = firmwareChange_;
  if (exitStatus_ == kExitLoaded) o.kind = OutcomeKind::Confirmed;
  else if (exitStatus_ == kExitUnconfirmed) o.kind = OutcomeKind::Unconfirmed;
  else if (operatorStopped_ || interrupted_ != 0) o.kind = OutcomeKind::Aborted;
  else if (refused_ || !stage_) o.kind = OutcomeKind::Refused;
  else o.kind = OutcomeKind::Failed;
  // A firmware load that went through ends confirming: the receiver's answer (its silence, or
  // another version than expected) decided it.
  const bool versionRejected = firmwareChange_.loaded && exitStatus_ == kExitFailed;
  o.stage = o.kind == OutcomeKind::Unconfirmed || versionRejected ? std::optional(LoadStage::Confirming) : stage_;
  o.port = CMNC::ShownPortText(job_.port.empty() ? portEntry_.name : job_.port);
  o.receiver = receiverFacts();
  o.sourceSha256 = sourceSha256_;
  o.historyId = record_->id();
  if (o.kind == OutcomeKind::Confirmed || o.kind == OutcomeKind::Unconfirmed || versionRejected) o.images = loaded_;
  return o;
}

std::string WizardController::interruptAdvice() const {
  if (!session_.running() || page_ != Page::Loading)
    return "Interrupted: nothing was written to the receiver.";
  if (selectedMethod_ == LoadMethod::FileUpload)
    return "Interrupted: the receiver may hold a partly uploaded file or be restarting: wait until it answers, "
           "then load again.";
  return "Interrupted: the receiver may be left in its boot loader: switch it off and on and load again with "
         "Power On Capture.";
}

void WizardController::stopAfterImage(int signal) {
  if (interrupted_ != 0 || windingDown_) return;
  if (!session_.running() || page_ != Page::Loading) return interrupt(signal);
  windingDown_ = true;
  operatorStopped_ = true;
  controls_.append(kLogBox, "Asked to stop: the load ends once the image being written is flashed.\r\n");
  session_.stopAfterImage();
}

void WizardController::interrupt(int signal) {
  if (interrupted_ != 0) return;
  // A console run whose load has ended is closing with the outcome the load earned: a signal now
  // must not turn a confirmed load into an aborted one.
  if (options_.headless && outcomeKnown_) return;
  interrupted_ = signal;
  if (session_.running()) operatorStopped_ = true;
  const std::string advice = interruptAdvice();
  if (session_.running()) cancel();  // the run's last reports are queued before what follows
  job_.run = false;
  view_.post([this, advice] {
    controls_.append(kLogBox, "\r\n" + advice + "\r\n");
    exitStatus_ = 128 + interrupted_;
    view_.close(false);
  });
}
