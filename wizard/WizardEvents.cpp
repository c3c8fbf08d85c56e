#include "WizardEvents.h"

#include "WizardController.h"
#include "WizardView.h"

// A report that changes the page (its text, the progress bar) is dropped once its run has been
// stopped: the worker's last reports are still queued when the stop returns, and would otherwise
// blank what the stop itself put on the page ("The firmware loading was aborted.").
void WizardEvents::postPageReport(std::function<void(WizardController&)> report) {
  view_.post([c = &controller_, run = run_, report = std::move(report)] {
    if (c->isCurrentRun(run)) report(*c);
  });
}

void WizardEvents::appendStatus(const std::string& text) {
  postPageReport([text](WizardController& c) { c.statusReport(text); });
}

void WizardEvents::replaceStatus(const std::string& text) {
  postPageReport([text](WizardController& c) { c.pageTextReport(text); });
}

void WizardEvents::appendLog(const std::string& text) {
  view_.post([c = &controller_, text] { c->logReport(text); });
}

void WizardEvents::setProgress(int percent) {
  postPageReport([percent](WizardController& c) { c.progressReport(percent); });
}

void WizardEvents::pulse() {
  postPageReport([](WizardController& c) { c.pulseReport(); });
}

void WizardEvents::loadSucceeded() {
  view_.post([c = &controller_, run = run_] { c->runSucceeded(run); });
  appendLog("Success!");
}

void WizardEvents::loadAborted() {
  view_.post([c = &controller_, run = run_] { c->runAborted(run); });
  appendLog("\r\nThe process aborted.");
}

void WizardEvents::startRefused(const std::string& pageText, const std::string& logText) {
  view_.post([c = &controller_, run = run_, pageText, logText] { c->runRefused(run, pageText, logText); });
}

void WizardEvents::showWarning(const std::string& text) {
  if (controller_.warningShowing()) return;  // a second warning while one is open is dropped
  view_.post([c = &controller_, text] { c->warningReport(text); });
}

void WizardEvents::receiverIdentified(const std::string& identity) {
  view_.post([c = &controller_, identity] { c->identityReport(identity); });
}

void WizardEvents::transferProgress(uint64_t done, uint64_t total) {
  view_.post([c = &controller_, done, total] { c->transferReport(done, total); });
}

void WizardEvents::stageChanged(LoadStage stage, const std::string& /*image*/) {
  postPageReport([stage](WizardController& c) { c.stageReport(stage); });
}

void WizardEvents::failureReason(const std::string& reason) {
  postPageReport([reason](WizardController& c) { c.failureReport(reason); });
}

void WizardEvents::hardwareReported(const std::string& version) {
  view_.post([c = &controller_, version] { c->hardwareReport(version); });
}

void WizardEvents::runPlanned(uint64_t totalBytes) {
  postPageReport([totalBytes](WizardController& c) { c.runPlanReport(totalBytes); });
}
