#include "LoadDriver.h"

#include <algorithm>
#include <vector>

#include "BootLoaderRun.h"
#include "CommandChannel.h"
#include "DataFileUpload.h"
#include "DirectUpload.h"
#include "FirmwareImageSet.h"
#include "ImageCatalogue.h"
#include "LoadWorker.h"
#include "PortTest.h"
#include "ReceiverLanguage.h"
#include "EngineTiming.h"

using namespace CMNC::timing;

namespace {

bool isArchive(SourceKind kind) { return kind == SourceKind::ZipArchive || kind == SourceKind::ZipImage; }

// What the load will send in all: through the boot loader each flash image follows the RAM loader
// (sent again for each), a RAM image goes alone; uploaded files go once each. A numbered set is
// counted image by image.
uint64_t plannedBytes(const LoadWorker& w, bool numberedSet) {
  const FirmwareImageSet& set = *w.images;
  uint64_t total = 0;
  if (set.count() == 0) return 0;
  const FirmwareImage& first = set.at(0);
  const bool ramLoaderFirst = !w.settings.fileUpload() && !numberedSet && first.isRamLoader;
  for (std::size_t i = ramLoaderFirst ? 1 : 0; i < set.count(); ++i) {
    const FirmwareImage& image = set.at(i);
    if (!image.isLoaded()) continue;
    total += image.size() + (ramLoaderFirst && image.isLdp ? first.size() : 0);
  }
  return total;
}

// The images that get a turn of their own, in order: through the boot loader the RAM loader of a
// named set and the utility loaders of a numbered one only help the others.
std::vector<std::string> plannedImages(const LoadWorker& w, bool numberedSet) {
  const FirmwareImageSet& set = *w.images;
  std::vector<std::string> names;
  const bool bootLoader = !w.settings.fileUpload();
  for (std::size_t i = 0; i < set.count(); ++i) {
    const FirmwareImage& image = set.at(i);
    if (!image.isLoaded()) continue;
    if (bootLoader && !numberedSet && i == 0 && image.isRamLoader) continue;
    if (bootLoader && numberedSet && catalogue::isUtilityLoaderName(image.fileName)) continue;
    names.push_back(image.path);
  }
  return names;
}

// True when the receiver's file system answered ready before the polls ran out.
bool rebootWait(LoadWorker& w) {
  CommandChannel& ch = *w.channel;
  ch.setCurrentRate(ch.previousRate());
  ch.SetRate(ch.previousRate(), false);
  w.events.appendStatus("Waiting for the receiver reboot...\r\n");
  w.enterStage(LoadStage::Rebooting);
  w.sleep(kBeforeRebootWaitMs);
  bool back = false;
  for (int n = 1; n <= kRebootPolls && !back; ++n) {
    w.events.setProgress(n);
    if (!w.sleep(kRebootPollMs)) break;
    ch.Purge(CMNC::kPurgeTxClear | CMNC::kPurgeRxClear);
    back = ch.CheckFsInit();
  }
  w.events.setProgress(100);
  return back;
}

// What ended a run that failed: a stop, a link that went away under it, else what the step said.
FailureKind failureKindOf(const LoadWorker& w, const RunState& rs) {
  if (w.aborted()) return FailureKind::StoppedByOperator;
  if (w.channel->linkFailed() && rs.kind != FailureKind::StoppedByOperator) return FailureKind::LinkLost;
  return rs.kind;
}

void runPath(LoadWorker& w, bool numberedSet, RunState& rs) {
  FirmwareImageSet& set = *w.images;
  if (!w.settings.fileUpload()) {
    bootLoaderRun(w, numberedSet, set, rs);
  } else if (set.content == SetContent::Firmware) {
    for (std::size_t i = 0; i < set.count() && rs.ok; ++i) fileUploadHardwareCheck(w, set.at(i), numberedSet, rs);
    if (rs.ok) fileUploadRun(w, set, numberedSet, rs);
  } else if (set.content == SetContent::DataFile) {
    dataFileRun(w, set, rs);
  } else {
    rs.fail(FailureKind::SourceRefused, "UKNOWN File type for fld");
  }
}

}  // namespace

bool readImages(LoadWorker& w, bool numberedSet, RunState& rs) {
  FirmwareImageSet& set = *w.images;
  if (numberedSet) {
    set.sortNames();
  } else if (!w.settings.fileUpload()) {
    const auto [passes, index] = set.findLdpWithoutRamLoader();
    if (!passes) {
      const std::string reason = "The file " + set.names[static_cast<std::size_t>(index)] + " requires " +
                                 catalogue::kRamLoaderFile +
                                 ", but it was not found. Please return back and correct the problem.";
      w.events.logError(reason);
      w.endFailed(reason, FailureKind::SourceRefused);
      return false;
    }
  } else if (set.names.size() == 2) {
    auto it = std::find(set.names.begin(), set.names.end(), catalogue::kRamLoaderFile);
    if (it != set.names.end()) set.names.erase(it);
  }
  w.events.appendLog("");
  w.events.appendLog("Reading firmware images...\r\n");
  for (const std::string& name : set.names) {
    if (w.aborted()) return false;
    FirmwareImage image(set.source, name, w.settings.sourceKind);
    w.events.appendLog("- " + image.title + " (" + image.path + ")\r\n");
    if (!image.isLoaded()) {
      // Every chosen image must be read before anything is sent: a partial set is never loaded.
      w.events.appendLog((isArchive(w.settings.sourceKind) ? "Error reading " + set.source : "Error opening: " + image.loadError()) +
                         "\r\n");
      rs.fail(FailureKind::SourceRefused, "Not every chosen image could be read; nothing was sent to the receiver.");
      set.clear();
      return true;
    }
    set.add(std::move(image));
  }
  if (!numberedSet) set.order(w.settings.portBPowerSlots);
  return true;
}

bool prepareSet(LoadWorker& w, PreparedSet& prepared) {
  FirmwareImageSet& set = *w.images;
  RunState& rs = prepared.rs;
  const bool ramRuleFails = !set.findLdpWithoutRamLoader().first;
  prepared.numberedSet = set.hasNumberedName(w.settings.sourceKind) && ramRuleFails;
  if (!readImages(w, prepared.numberedSet, rs)) return false;
  if (!rs.ok) {
    // Nothing was sent: the images are read before the receiver is touched.
    w.events.logError(rs.errorText + "\r\n");
    w.endFailed(rs.errorText, rs.kind);
    return false;
  }
  if (set.count() == 0) {
    w.events.logError("Nothing to load\r\n");
    w.endFailed("Nothing to load", FailureKind::SourceRefused);
    return false;
  }
  // Looked at in place: a copy would hold a main firmware's bytes twice for the whole run.
  const FirmwareImage& firstImage = set.at(0);
  if (!prepared.numberedSet && !w.settings.fileUpload() && !firstImage.isRamLoader &&
      std::any_of(set.images.begin(), set.images.end(), [](const FirmwareImage& i) { return i.isLdp; })) {
    const std::string reason = std::string(catalogue::kEntries[0].title) + " is required but absent!";
    w.events.logError(reason + "\r\n");
    w.endFailed(reason, FailureKind::SourceRefused);
    return false;
  }
  return true;
}

void loadSet(LoadWorker& w, PreparedSet& prepared, std::string* firmwareAfter) {
  FirmwareImageSet& set = *w.images;
  RunState& rs = prepared.rs;
  w.events.appendLog("");
  w.events.runPlanned(plannedBytes(w, prepared.numberedSet), plannedImages(w, prepared.numberedSet));
  runPath(w, prepared.numberedSet, rs);

  CommandChannel& ch = *w.channel;
  if (!rs.errorText.empty()) {
    w.events.logError(rs.errorText + "\r\n");
    if (!rs.ok) w.events.failureReason(rs.errorText, failureKindOf(w, rs));
  } else if (rs.ok && ch.IsConnected()) {
    const bool ready = rebootWait(w);
    w.events.rebooted(ready);
    if (ready && firmwareAfter) {
      w.enterStage(LoadStage::Confirming);
      *firmwareAfter = askMainFirmware(w);
    }
  }
  if (w.settings.fileUpload() && ch.IsConnected() && set.content == SetContent::Firmware)
    ch.SendText(CMNC::lang::kRemoveFirmwareCommand);
  if (!w.aborted()) {
    if (rs.ok) {
      w.enterStage(LoadStage::Done);
      // A firmware load is a success once the receiver confirms it: its caller says so then.
      w.events.loadSucceeded(firmwareAfter == nullptr || set.content == SetContent::DataFile);
    } else if (!rs.abortReported) {
      w.events.loadFailed();
    }
  }
}

void loadDriver(LoadWorker& w, std::string* firmwareAfter) {
  PreparedSet prepared;
  if (prepareSet(w, prepared)) loadSet(w, prepared, firmwareAfter);
}
