#include "LoadPlan.h"

#include <algorithm>

#include "AbortSignal.h"
#include "ImageCatalogue.h"
#include "LinkKinds.h"
#include "PortResolution.h"
#include "PrintableText.h"
#include "RunOutcome.h"
#include "SourceDigest.h"
#include "WizardModel.h"

namespace {

// The method the link offers: the one asked for, else its first (a TCP/IP link has no boot loader).
LoadMethod offeredMethod(ConnectionKind kind, LoadMethod asked) {
  const auto methods = wizard::methodsFor(kind);
  for (const auto& m : methods)
    if (m.value == asked) return asked;
  return methods.front().value;
}

// The source kind the method offers: the one the command line found, else the first.
SourceKind offeredSourceKind(LoadMethod method, SourceKind found) {
  const auto kinds = wizard::sourceKinds(method);
  for (const auto& k : kinds)
    if (k.value == found) return found;
  return kinds.front().value;
}

// The speed list's choice: the first speed not above the one asked for, else the list's first.
uint32_t chosenSpeed(ConnectionKind kind, uint32_t asked) {
  const auto speeds = wizard::speedsFor(kind);
  for (const SpeedEntry& e : speeds)
    if (e.speed <= static_cast<int>(asked)) return static_cast<uint32_t>(e.speed);
  return static_cast<uint32_t>(speeds.front().speed);
}

uint64_t maxSourceBytes(const LoadJob& job) {
  constexpr uint64_t kMiB = 1024 * 1024;
  return job.maxSourceMib ? job.maxSourceMib * kMiB : FirmwareImageSet::kDefaultMaxSourceBytes;
}

PlanResult refused(const std::string& text, FailureKind kind = FailureKind::SourceRefused) {
  return {std::nullopt, {text, kind}};
}

// The source read and checked: "" or why it cannot be loaded.
std::string readSource(const LoadJob& job, LoadPlan& plan, const CMNC::AbortSignal* stop) {
  const bool loaders = plan.method != LoadMethod::FileUpload;
  plan.images.maxSourceBytes = maxSourceBytes(job);
  if (std::string error = plan.images.scanSource(job.source, plan.sourceKind, loaders); !error.empty()) return error;
  const SourceDigest digest = digestSource(job.source, plan.sourceKind, plan.images, job.digest,
                                           [stop] { return stop && stop->isSet(); });
  if (!digest.error.empty()) return digest.error;
  plan.sourceSha256 = digest.sha256;
  if (plan.sourceKind == SourceKind::ZipImage && plan.images.names.size() > 1)
    return "Pick one image of the archive interactively, or name the image file itself.";
  if (plan.images.names.size() == 1 && catalogue::isRamLoaderName(plan.images.names[0]))
    return std::string("The file ") + catalogue::kRamLoaderFile +
           " is a helper file which can't be loaded alone. Please return back and select another file(s).";
  return "";
}

bool numberedSetOf(const LoadPlan& plan) {
  return plan.images.hasNumberedName(plan.sourceKind) && !plan.images.findLdpWithoutRamLoader().first;
}

// The names the load reads, as its driver would take them: a file upload of the RAM loader and
// one image uploads the image alone; a named set through the boot loader needs its RAM loader.
std::string pruneNames(LoadPlan& plan) {
  FirmwareImageSet& set = plan.images;
  if (plan.method == LoadMethod::FileUpload) {
    auto it = std::find(set.names.begin(), set.names.end(), catalogue::kRamLoaderFile);
    if (set.names.size() == 2 && it != set.names.end()) set.names.erase(it);
    return "";
  }
  if (numberedSetOf(plan)) return "";
  const auto [passes, index] = set.findLdpWithoutRamLoader();
  if (passes) return "";
  return "The file " + set.names[static_cast<std::size_t>(index)] + " requires " + catalogue::kRamLoaderFile +
         ", but it was not found. Please return back and correct the problem.";
}

// A whole number of at most three digits, as the receiver tells its hardware version; -1 when not.
int hardwareNumber(const std::string& text) {
  if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::stoi(text);
}

}  // namespace

hardwarefit::Path loadPathOf(const LoadPlan& plan) {
  if (plan.sourceKind == SourceKind::DataFile) return hardwarefit::Path::DataFile;
  if (plan.method == LoadMethod::FileUpload) return hardwarefit::Path::FileUpload;
  return numberedSetOf(plan) ? hardwarefit::Path::NumberedBootLoader : hardwarefit::Path::NamedBootLoader;
}

std::string inspectPlanImages(LoadPlan& plan, const CMNC::AbortSignal* stop) {
  if (std::string refusal = pruneNames(plan); !refusal.empty()) return refusal;
  // Facts a window took of the same names on its source page are not read again.
  const bool known = std::equal(plan.imageFacts.begin(), plan.imageFacts.end(), plan.images.names.begin(),
                                plan.images.names.end(), [](const ImageFacts& f, const std::string& n) { return f.name == n; });
  const std::string error =
      known ? "" : inspectImages(plan.images, plan.sourceKind, plan.imageFacts, [stop] { return stop && stop->isSet(); });
  if (!error.empty()) return error;
  plan.inspected = true;
  if (std::string twins = hardwarefit::undecidableTwins(plan.imageFacts); !twins.empty()) return twins;
  if (hardwarefit::hasTwins(plan.imageFacts) && !plan.testsPort())
    return "The source holds images for several receiver models, and Power On Capture learns the receiver's "
           "hardware version only once the images are going: nothing was sent to the receiver. Load it by Soft "
           "Break Capture, whose port test asks the receiver first, or load a distribution of one model.";
  return "";
}

ReceiverFit fitPlanToReceiver(LoadPlan& plan, const std::string& hardwareVersion) {
  ReceiverFit fit;
  const int hardware = hardwareNumber(hardwareVersion);
  const bool twins = hardwarefit::hasTwins(plan.imageFacts);
  if (hardware < 0) {
    fit.kind = FailureKind::SourceRefused;
    if (twins)
      fit.refusal = "The source holds images for several receiver models, and the receiver did not tell its hardware "
                    "version: which to load cannot be told, and nothing was sent to the receiver. Load a "
                    "distribution of one model.";
    return fit;
  }
  if (twins) {
    fit.chosen = hardwarefit::chooseTwins(plan.imageFacts, hardware);
    plan.images.names.clear();
    for (const ImageFacts& f : plan.imageFacts) plan.images.names.push_back(f.name);
  }
  fit.refusal = hardwarefit::misfit(plan.imageFacts, hardware, loadPathOf(plan));
  return fit;
}

std::string checkPlanSignature(LoadPlan& plan, const CMNC::AbortSignal* stop) {
  if (plan.signatureChecked) return "";
  const SignatureCheck check = sourcesignature::check(plan.source, plan.sourceKind, plan.digestList, plan.trust,
                                                      [stop] { return stop && stop->isSet(); });
  if (!check.refusal.empty()) return check.refusal;
  plan.signatureChecked = true;
  plan.signatureWarning = check.warning;
  plan.history.signerKey = check.keyId;
  plan.history.signerComment = check.trustedComment;
  return "";
}

std::string receiverMismatch(const LoadPlan& plan, const std::string& identity) {
  const std::string& ordered = plan.history.order.receiverId;
  if (ordered.empty() || orderfields::sameReceiverId(ordered, identity)) return "";
  if (identity.empty())
    return "The receiver on " + plan.shownPort + " did not tell its identity, and the order names " + ordered +
           ": nothing was loaded.";
  return "The receiver on " + plan.shownPort + " is " + printable(identity) + ", but the order names " + ordered +
         ": nothing was loaded.";
}

RunRequest runRequestOf(const LoadJob& job) {
  RunRequest r;
  r.port = CMNC::ShownPortText(job.port);
  r.methodWord = methodWord(job.method, job.plainDataFile ? SourceKind::DataFile : SourceKind::ZipArchive);
  r.source = job.source;
  r.portEntry = job.portEntry;
  r.history = job.history;
  return r;
}

PlanResult makeLoadPlan(const LoadJob& job, SourceKind sourceKind, const CMNC::AbortSignal* stop) {
  LoadPlan plan;
  std::string unusable;
  if (job.port.empty())
    return refused("No port was named: name the receiver's port with /port (see --list-ports).",
                   FailureKind::PortUnavailable);
  if (!entryOfJob(job, plan.port, unusable)) return refused(unusable, FailureKind::PortUnavailable);
  plan.password = CMNC::TakePassword(plan.port);
  plan.shownPort = CMNC::ShownPortText(job.port);
  plan.method = offeredMethod(plan.port.kind, job.method);
  plan.methodWord = runRequestOf(job).methodWord;
  plan.sourceKind = offeredSourceKind(plan.method, sourceKind);
  plan.speed = chosenSpeed(plan.port.kind, job.speed);
  plan.testSpeeds.push_back({std::to_string(plan.speed), static_cast<int>(plan.speed)});  // named by its number
  for (const SpeedEntry& e : wizard::speedsFor(plan.port.kind)) plan.testSpeeds.push_back(e);
  plan.mtu = job.mtu;
  plan.blockSize = wizard::kDefaultBlockSize;
  plan.replyGapMs = job.replyGapMs;
  plan.source = job.source;
  plan.expectVersion = job.expectVersion;
  plan.history = job.history;
  plan.trust = job.trust;
  plan.digestList = job.digest.listFile;
  if (job.source.empty()) return refused("No source was named: name the firmware with /source.");
  // The signature first: nothing of a source that is not the maker's is read.
  if (std::string error = checkPlanSignature(plan, stop); !error.empty()) return refused(error);
  if (std::string error = readSource(job, plan, stop); !error.empty()) return refused(error);
  if (std::string error = inspectPlanImages(plan, stop); !error.empty()) return refused(error);
  return {std::move(plan), {}};
}
