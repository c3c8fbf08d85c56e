#include "WizardController.h"

// The wizard controller's digests: the source's, checked against what the operator gave.
#include "AbortSignal.h"
#include "ActivityLog.h"
#include "ControlIds.h"
#include "FirmwareImageSet.h"
#include "WizardView.h"

using namespace ids;

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
