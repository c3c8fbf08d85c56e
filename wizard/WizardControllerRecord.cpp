#include "WizardController.h"

// The wizard controller's record of a run: its row in the load history, and the digests of the
// source and of the images loaded.
#include "AbortSignal.h"
#include "ActivityLog.h"
#include "ControlIds.h"
#include "FirmwareImageSet.h"
#include "RunRecord.h"
#include "Sha256.h"
#include "WizardView.h"

using namespace ids;

// A warning of the history on lines of its own, never run on from the log's last text.
void WizardController::recordWarning(const std::string& warning) {
  if (warning.empty()) return;
  const std::string& log = state(kLogBox).text;
  const bool atLineStart = log.empty() || log.back() == '\n';
  controls_.append(kLogBox, (atLineStart ? "" : "\r\n") + std::string("Warning: ") + warning + "\r\n");
}

// A run starts: an unattended one before anything else, a window's when its load starts (each
// load from the window is a run of its own). A window's new row starts with none of the last
// load's facts.
void WizardController::beginRecord(const PortEntry& port) {
  if (record_->open()) return;
  if (!job_.run) {
    stage_.reset();
    failure_.clear();
    refused_ = false;
    operatorStopped_ = false;
  }
  const SourceKind kind = job_.run && job_.plainDataFile ? SourceKind::DataFile : sourceKind_;
  recordWarning(record_->begin(port, methodWord(selectedMethod_, kind), job_.source));
}

// Begins the run's row; false when the operator requires the row and it could be written nowhere,
// and then nothing may be sent to the receiver.
bool WizardController::recordBegun(const PortEntry& port) {
  beginRecord(port);
  if (!job_.history.required || !job_.history.enabled || record_->open()) return true;
  const std::string refusal = "The load history cannot be written, and --history-required asks for it: nothing was sent to the receiver.";
  controls_.append(kLogBox, refusal + "\r\n");
  controls_.setPageText(refusal);
  failure_ = refusal;
  refused_ = true;
  return false;
}

void WizardController::finishRecord() {
  if (!record_->open()) return;
  recordWarning(record_->finish(outcome()));
}

// A window's load ended (loaded, failed or stopped): its row is complete. A console run's row
// waits for the wizard's end, whose exit status it holds.
void WizardController::loadEnded() {
  outcomeKnown_ = true;
  if (!options_.headless) finishRecord();
}

// Whether a stop signal came, for the digests that read a whole source on this thread.
std::function<bool()> WizardController::stopped() const {
  return [stop = options_.stop] { return stop && stop->isSet(); };
}

// The source's digest, checked against "--sha256" or "--sha256-file"; "" or why it is refused.
std::string WizardController::digestSourceSet(const std::string& path) {
  const SourceDigest digest = digestSource(path, sourceKind_, images_, job_.digest, stopped());
  if (!digest.error.empty()) return digest.error;
  sourceSha256_ = digest.sha256;
  if (!sourceSha256_.empty()) ActivityLog::Instance().Write("Source digest (SHA-256): " + sourceSha256_ + "  " + path + "\r\n");
  return {};
}

// An unattended run with digests to check reads its source before the receiver is asked anything.
bool WizardController::sourceDigestsMatch() {
  if (!job_.digest.any()) return true;
  FirmwareImageSet probe;
  probe.maxSourceBytes = maxSourceBytes();
  const bool loaders = job_.method != LoadMethod::FileUpload;
  std::string error = probe.scanSource(job_.source, sourceKind_, loaders);
  if (error.empty()) error = digestSource(job_.source, sourceKind_, probe, job_.digest, stopped()).error;
  if (error.empty()) return true;
  controls_.append(kLogBox, error + "\r\n");
  failure_ = error;
  refused_ = true;
  endUnattended(false);
  return false;
}
