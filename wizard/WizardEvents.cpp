#include "WizardEvents.h"

#include "WizardController.h"
#include "WizardView.h"

void WizardEvents::appendStatus(const std::string& text) {
  view_.post([c = &controller_, text] { c->statusReport(text); });
}

void WizardEvents::replaceStatus(const std::string& text) {
  view_.post([c = &controller_, text] { c->pageTextReport(text); });
}

void WizardEvents::appendLog(const std::string& text) {
  view_.post([c = &controller_, text] { c->logReport(text); });
}

void WizardEvents::setProgress(int percent) {
  view_.post([c = &controller_, percent] { c->progressReport(percent); });
}

void WizardEvents::pulse() {
  view_.post([c = &controller_] { c->pulseReport(); });
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
