#include "EngineReports.h"

#include "LoadRun.h"

template <typename Report>
void EngineReports::post(Report report) {
  post_([run = &run_, report = std::move(report)] { report(*run); });
}

template <typename Report>
void EngineReports::postPageReport(Report report) {
  post_([run = &run_, serial = serial_, report = std::move(report)] {
    if (run->isCurrentRun(serial)) report(*run);
  });
}

void EngineReports::appendStatus(const std::string& text) {
  postPageReport([text](LoadRun& r) { r.statusReport(text); });
}

void EngineReports::replaceStatus(const std::string& text) {
  postPageReport([text](LoadRun& r) { r.pageTextReport(text); });
}

void EngineReports::appendLog(const std::string& text) {
  post([text](LoadRun& r) { r.logReport(text); });
}

void EngineReports::setProgress(int percent) {
  postPageReport([percent](LoadRun& r) { r.progressReport(percent); });
}

void EngineReports::pulse() {
  postPageReport([](LoadRun& r) { r.pulseReport(); });
}

void EngineReports::loadSucceeded() {
  post([serial = serial_](LoadRun& r) { r.runSucceeded(serial); });
  appendLog("Success!");
}

void EngineReports::loadAborted() {
  post([serial = serial_](LoadRun& r) { r.runAborted(serial); });
  appendLog("\r\nThe process aborted.");
}

void EngineReports::startRefused(const std::string& pageText, const std::string& logText) {
  post([serial = serial_, pageText, logText](LoadRun& r) { r.runRefused(serial, pageText, logText); });
}

void EngineReports::showWarning(const std::string& text) {
  post([text](LoadRun& r) { r.warningReport(text); });
}

void EngineReports::runPlanned(uint64_t totalBytes) {
  postPageReport([totalBytes](LoadRun& r) { r.runPlanReport(totalBytes); });
}

void EngineReports::transferProgress(uint64_t done, uint64_t total) {
  post([done, total](LoadRun& r) { r.transferReport(done, total); });
}

void EngineReports::receiverIdentified(const std::string& identity) {
  post([identity](LoadRun& r) { r.identityReport(identity); });
}

void EngineReports::hardwareReported(const std::string& version) {
  post([version](LoadRun& r) { r.hardwareReport(version); });
}

void EngineReports::stageChanged(LoadStage stage, const std::string& image) {
  postPageReport([stage, image](LoadRun& r) { r.stageReport(stage, image); });
}

void EngineReports::failureReason(const std::string& reason) {
  postPageReport([reason](LoadRun& r) { r.failureReport(reason); });
}
