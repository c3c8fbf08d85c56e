#include "WizardController.h"

// The wizard controller's handling of the engine's reports: the status, the page text, the log,
// progress and the time left, the receiver's facts, and a run's end.
#include "ActivityLog.h"
#include "Clock.h"
#include "ControlIds.h"
#include "WizardEvents.h"
#include "WizardModel.h"
#include "WizardView.h"

using namespace ids;

// ---------------------------------------------------------------------------------------------
// Reports

void WizardController::statusReport(const std::string& text) {
  if (!text.empty()) {
    controls_.append(kPageText, text);
    controls_.append(kPageEdit, text);
    return;
  }
  controls_.setText(kPageText, "");
  controls_.setText(kPageEdit, "");
  ActivityLog::Instance().Write("\r\n");
}

void WizardController::pageTextReport(const std::string& text) { controls_.setPageText(text); }

void WizardController::logReport(const std::string& text) {
  if (text.empty()) controls_.clear(kLogBox);
  else controls_.append(kLogBox, text);
}

void WizardController::progressReport(int percent) {
  if (percent < 0 || percent > 100) return;
  controls_.setValue(kProgress, percent);
  controls_.setText(kPercent, std::to_string(percent) + "%");
  controls_.show(kPercent, true);
  if (!state(kSpinner).text.empty()) controls_.setText(kSpinner, wizard::nextSpinner(state(kSpinner).text));
  controls_.show(kSpinner, percent != 100);
}

void WizardController::pulseReport() {
  const int value = state(kProgress).value;
  controls_.setValue(kProgress, value >= 100 ? 0 : value + 1);
  controls_.show(kSpinner, false);
  controls_.show(kPercent, false);
}

void WizardController::transferReport(uint64_t done, uint64_t total) {
  const int64_t now = CMNC::Clock::system().nowMs();
  runProgress_.transferred(done, total, now);
  const std::optional<int64_t> left = runProgress_.secondsLeft(now);
  showTimeLeft(RunProgress::leftText(left));
}

// The whole load's time left stands in the window's title while a load runs.
void WizardController::showTimeLeft(const std::string& text) {
  if (text == timeLeft_) return;
  timeLeft_ = text;
  updateTitle();
}

void WizardController::runPlanReport(uint64_t totalBytes) { runProgress_.plan(totalBytes, CMNC::Clock::system().nowMs()); }
void WizardController::identityReport(const std::string& identity) {
  identity_ = identity;
}

void WizardController::stageReport(LoadStage stage) { stage_ = stage; }

void WizardController::failureReport(const std::string& reason) { failure_ = reason; }

void WizardController::hardwareReport(const std::string& version) {
  hardware_ = version;
}

ReceiverFacts WizardController::receiverFacts() const {
  return receiverFactsOf(tested_, identity_, hardware_, firmwareChange_.after);
}

void WizardController::logReplaced(const std::string& text) { controls_.replaceLog(text); }

// The bar is the whole load's; under it the image under way and the time left.
void WizardController::loadProgressReport(const TransferProgress& progress) {
  progressReport(progress.percent);
  const std::string left = RunProgress::leftText(progress.secondsLeft);
  std::string text;
  if (progress.imageIndex > 0)
    text = "Image " + std::to_string(progress.imageIndex) + " of " + std::to_string(progress.imageCount) + ": " +
           progress.image;
  if (!left.empty() && progress.percent < 100) text += (text.empty() ? "" : ", ") + left;
  controls_.setText(kProgressText, text);
  showTimeLeft(left);
}

void WizardController::loadWaitReport() {
  controls_.setText(kSpinner, wizard::nextSpinner(state(kSpinner).text));
  controls_.show(kSpinner, true);
}

void WizardController::receiverReport(const ReceiverFacts& facts) {
  identity_ = facts.id;
  hardware_ = facts.hardware;
}

void WizardController::imageLoadedReport(const LoadedImage& image) {
  loaded_.push_back(image);
  if (image.result == ImageResult::NotReached) return;
  ActivityLog::Instance().Write("Image digest (SHA-256): " + image.sha256 + "  " + image.file + "\r\n");
}

void WizardController::warningReport(const std::string& text) {
  if (warningShowing_.exchange(true)) return;
  view_.showWarning(text);
  warningShowing_.store(false);
}

bool WizardController::isCurrentRun(uint64_t run) const { return session_.running() && run == run_; }

void WizardController::runSucceeded(uint64_t run) {
  if (!isCurrentRun(run)) return;
  if (page_ == Page::Connection) testFinished();
}

void WizardController::runAborted(uint64_t run) {
  if (!isCurrentRun(run)) return;
  cancel();
}

// The run never started: the link could not be opened or refused the loading speed.
void WizardController::runRefused(uint64_t run, const std::string& /*pageText*/, const std::string& logText) {
  if (!isCurrentRun(run)) return;
  refused_ = true;
  stopRun();
  controls_.setText(kCancel, "Cancel");
  controls_.append(kLogBox, logText);
  if (page_ == Page::Connection) methodChange();
  endUnattended(false);
}
