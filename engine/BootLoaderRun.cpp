#include "BootLoaderRun.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "BootBytes.h"
#include "BootCapture.h"
#include "BootDownload.h"
#include "CommandChannel.h"
#include "FirmwareImageSet.h"
#include "HardwareFit.h"
#include "ImageCatalogue.h"
#include "ImageFacts.h"
#include "LoadWorker.h"
#include "ReceiverLanguage.h"
#include "EngineTiming.h"

namespace {

constexpr int kRamMatchA = 20;  // hardware versions 20 and 22 count as one for the RAM loader
constexpr int kRamMatchB = 22;

bool going(const LoadWorker& w, const RunState& rs) { return rs.ok && !w.aborted(); }

// Catches the boot loader for the image; then the image goes to the receiver.
void captureFor(LoadWorker& w, RunState& rs, const FirmwareImage& img) {
  w.enterStage(LoadStage::Capturing, img.title);
  captureBootLoader(w, rs);
  if (going(w, rs)) w.enterStage(LoadStage::Loading, img.title);
}

void loaderCycle(LoadWorker& w, RunState& rs, FirmwareImage& loader, FirmwareImage& img) {
  captureFor(w, rs, img);
  if (going(w, rs)) checkBootVersions(w, rs, !img.isLdp, loader.ldrHardwareVersion, img.ldpHardwareVersion);
  if (going(w, rs)) loadRamStep(w, rs, loader, "RAM Loader for " + img.title);
  if (going(w, rs)) loadFlashStep(w, rs, img, loader.ldrVersion, img.title, w.settings.blockSize);
}

void ramCycle(LoadWorker& w, RunState& rs, FirmwareImage& img) {
  captureFor(w, rs, img);
  img.ldrHardwareVersion = img.ldpHardwareVersion;
  if (going(w, rs)) checkBootVersions(w, rs, false, img.ldrHardwareVersion, img.ldpHardwareVersion);
  if (going(w, rs)) loadRamStep(w, rs, img, img.title);
}

void namedRun(LoadWorker& w, FirmwareImageSet& images, RunState& rs) {
  FirmwareImage& firstImage = images.at(0);  // the RAM loader, when the set has one
  for (std::size_t i = firstImage.isRamLoader ? 1 : 0; i < images.count(); ++i) {
    FirmwareImage& img = images.at(i);
    if (!img.isLoaded()) continue;
    w.events.appendLog("Loading " + img.title + "...\r\n");
    captureFor(w, rs, img);
    if (img.isLdp) {
      if (going(w, rs)) checkBootVersions(w, rs, false, firstImage.ldrHardwareVersion, img.ldpHardwareVersion);
      if (going(w, rs)) loadRamStep(w, rs, firstImage, "RAM Loader for " + img.title);
      if (going(w, rs)) loadFlashStep(w, rs, img, firstImage.ldrVersion, img.title, w.settings.blockSize);
    } else {
      if (going(w, rs)) checkBootVersions(w, rs, true, img.ldrHardwareVersion, img.ldpHardwareVersion);
      if (going(w, rs)) loadRamStep(w, rs, img, img.title);
    }
    w.events.appendStatus("");
    w.reportImage(img.path, rs);
    if (!going(w, rs) || w.stopsAfterImage(img.title, i + 1 < images.count(), rs)) return;
  }
}

void numberedRun(LoadWorker& w, FirmwareImageSet& images, RunState& rs) {
  std::vector<std::string> skipped;
  for (std::size_t i = 0; i < images.count(); ++i) {
    FirmwareImage& img = images.at(i);
    if (catalogue::isUtilityLoaderName(img.fileName) || !img.isLoaded()) continue;
    w.events.appendLog("Loading " + img.title + "...\r\n");
    w.events.appendStatus("");
    bool wasSkipped = false;
    if (going(w, rs)) {
      const int type = catalogue::fileType(img.fileName);
      const int id = catalogue::utilityLoaderNumber(img.fileName);
      if (type == 1 || type == 3) {
        const int u = findUtilityLoader(images, id);
        if (u >= 0) {
          loaderCycle(w, rs, images.at(static_cast<std::size_t>(u)), img);
        } else if (type == 3) {
          ramCycle(w, rs, img);
        } else {
          rs.fail(FailureKind::SourceRefused,
                  "Can't find Utility Loader ID=" + img.fileName.substr(2, 1) + " for file: " + img.title);
        }
      } else if (type == 2) {
        ramCycle(w, rs, img);
      } else {
        w.events.appendLog("Skipped " + img.title + "...\r\nUpgrade Vestrel.");
        skipped.push_back(img.title);
        wasSkipped = true;
        w.events.imageDone(img.path, ImageResult::NotReached, "this version of Vestrel does not know its type");
      }
    }
    w.events.appendStatus("");
    if (!wasSkipped) w.reportImage(img.path, rs);
    if (!going(w, rs) || w.stopsAfterImage(img.title, i + 1 < images.count(), rs)) return;
  }
  // The others are loaded, but the receiver lacks what was skipped: that is no success.
  if (rs.ok && !skipped.empty()) {
    std::string titles;
    for (const std::string& t : skipped) titles += (titles.empty() ? "" : ", ") + t;
    rs.fail(FailureKind::SourceRefused, "Not loaded, this version of Vestrel does not know its type: " + titles);
  }
}

}  // namespace

void bootLoaderRun(LoadWorker& w, bool numberedSet, FirmwareImageSet& images, RunState& rs) {
  rs.numberedSet = numberedSet;
  if (numberedSet) numberedRun(w, images, rs);
  else namedRun(w, images, rs);
}

int findUtilityLoader(const FirmwareImageSet& images, int id) {
  for (std::size_t i = 0; i < images.count(); ++i) {
    const std::string& name = images.at(i).fileName;
    if (name.size() >= 3 && name[0] == '_' && name[2] - '0' == id) return static_cast<int>(i);
  }
  return -1;
}

bool readBootVersions(LoadWorker& w, int& hardwareVersion, int& secondVersion) {
  // A boot loader that keeps sending NAK must not hold the worker: bounded by a byte count.
  uint8_t byte = bootbytes::kNak;
  int skipped = 0;
  do {
    if (w.aborted() || skipped++ > CMNC::timing::kVersionByteLimit) return false;
    if (w.channel->Read(&byte, 1) <= 0) return false;
  } while (byte == bootbytes::kNak);
  hardwareVersion = byte;
  if (w.channel->Read(&byte, 1) <= 0) return false;
  secondVersion = byte;
  return true;
}

VersionCheck compareVersions(LoadWorker& w, int32_t hardware, int32_t second, int32_t ram, int32_t flash) {
  if (second > 1) w.events.showWarning("The file wishes a newer software version.\nPlease, upgrade this software!");
  const bool ramMatches = ram == hardware || (hardware == kRamMatchA && ram == kRamMatchB) ||
                          (hardware == kRamMatchB && ram == kRamMatchA);
  if (!ramMatches) return VersionCheck::RamWrongHardware;
  return flash == hardware ? VersionCheck::Accepted : VersionCheck::FlashWrongHardware;
}

void checkBootVersions(LoadWorker& w, RunState& rs, bool skipFlashCheck, uint32_t ramHardwareVersion,
                       uint32_t flashHardwareVersion) {
  if (w.aborted()) return;
  w.events.appendStatus("Reading receiver versions...\r\n");
  int hardware = 0, second = 0;
  rs.ok = readBootVersions(w, hardware, second);
  if (!rs.ok) {
    rs.errorText = w.aborted() ? kAbortedByUser : "Get receiver version error.";
    rs.kind = FailureKind::ReceiverSilent;
    return;
  }
  if (w.aborted()) {
    rs.errorText = kAbortedByUser;
    return;
  }
  w.events.hardwareReported(std::to_string(hardware));
  w.events.appendStatus("Checking versions...\r\n");
  if (skipFlashCheck) flashHardwareVersion = static_cast<uint32_t>(hardware);
  VersionCheck r = compareVersions(w, hardware, second, static_cast<int32_t>(ramHardwareVersion),
                                static_cast<int32_t>(flashHardwareVersion));
  if (r == VersionCheck::FlashWrongHardware) rs.errorText = "Flash file has wrong hardware version.";
  if (r == VersionCheck::RamWrongHardware) rs.errorText = "RAM file has wrong hardware version.";
  if (r == VersionCheck::Accepted && !rs.setFitChecked) {
    // The first receiver that answers is held against the whole set: an image further on that it
    // would refuse refuses the set now, before anything is flashed.
    rs.setFitChecked = true;
    std::vector<ImageFacts> facts;
    for (const FirmwareImage& image : w.images->images) facts.push_back(factsOf(image));
    const auto path = rs.numberedSet ? hardwarefit::Path::NumberedBootLoader : hardwarefit::Path::NamedBootLoader;
    if (std::string misfit = hardwarefit::misfit(facts, hardware, path); !misfit.empty()) {
      rs.errorText = std::move(misfit);
      r = VersionCheck::FlashWrongHardware;
    }
  }
  rs.ok = rs.ok && r == VersionCheck::Accepted;
  if (!rs.ok) rs.kind = FailureKind::WrongHardware;
  const uint8_t decision = rs.ok ? bootbytes::kGoOn : bootbytes::kStop;
  // The decision goes out either way: a refused receiver gets 0x00 and flashes nothing.
  const bool written = w.channel->Write(&decision, 1) == 1;
  rs.ok = rs.ok && written;
  if (rs.ok) w.events.appendStatus("Ready to load firmware images!\r\n");
  else if (rs.errorText.empty()) rs.errorText = w.aborted() ? kAbortedByUser : "Acknowledge version error.";
  if (!written) rs.kind = FailureKind::LinkLost;
}

bool fileUploadHardwareCheck(LoadWorker& w, const FirmwareImage& image, bool numberedSet, RunState& rs) {
  std::string tag, body;
  if (!w.channel->Query(CMNC::lang::kHardwareVersionQuery, tag, body) || tag != CMNC::lang::kHardwareVersionTag)
    return true;
  const int hardware = std::atoi(body.c_str());
  const VersionCheck r = compareVersions(w, hardware, numberedSet ? 1 : 0, hardware, static_cast<int32_t>(image.ldpHardwareVersion));
  if (r == VersionCheck::FlashWrongHardware) rs.errorText = image.fileName + " Flash file has wrong hardware version.";
  rs.ok = r == VersionCheck::Accepted;
  if (!rs.ok) rs.kind = FailureKind::WrongHardware;
  if (rs.ok) w.events.appendStatus("Ready to load firmware images!\r\n");
  else if (rs.errorText.empty()) rs.errorText = w.aborted() ? kAbortedByUser : "Acknowledge version error.";
  return rs.ok;
}
