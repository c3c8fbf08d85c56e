#include "WizardModel.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "FirmwareImage.h"
#include "FirmwareImageSet.h"
#include "ImageCatalogue.h"
#include "LinkKinds.h"
#include "RunProgress.h"

namespace wizard {

std::vector<Choice<ConnectionKind>> connectionKinds(bool bluetoothAvailable) {
  std::vector<Choice<ConnectionKind>> kinds;
  for (const CMNC::LinkKind& k : CMNC::LinkKinds())
    kinds.push_back({k.label, k.kind, k.needsAdapter && !bluetoothAvailable ? "no adapter was found" : ""});
  return kinds;
}

std::vector<Choice<LoadMethod>> methodsFor(ConnectionKind kind) {
  std::vector<Choice<LoadMethod>> methods;
  if (CMNC::LinkKindOf(kind).policy.bootLoader) {
    methods.push_back({"Power On Capture", LoadMethod::PowerOnCapture});
    methods.push_back({"Soft Break Capture", LoadMethod::SoftBreakCapture});
  }
  methods.push_back({"File uploading into receiver memory", LoadMethod::FileUpload});
  return methods;
}

std::vector<SpeedEntry> speedsFor(ConnectionKind kind) {
  if (!CMNC::LinkKindOf(kind).policy.lineSpeeds) return {{"Max. possible speed", 115200}};
  std::vector<SpeedEntry> speeds;
  for (int s : {1500000, 460800, 230400, 115200, 57600, 38400, 19200, 9600, 4800})
    speeds.push_back({std::to_string(s), s});
  return speeds;
}

std::vector<int> blockSizes() { return {512, 1024, 2048, 4096, 8192, 16384}; }

std::vector<Choice<SourceKind>> sourceKinds(LoadMethod method) {
  std::vector<Choice<SourceKind>> kinds = {
      {"All firmware files from a ZIP archive", SourceKind::ZipArchive},
      {"All firmware files from a folder", SourceKind::Folder},
      {"Single firmware file from a ZIP archive", SourceKind::ZipImage},
      {"Single firmware file", SourceKind::ImageFile}};
  if (method == LoadMethod::FileUpload) kinds.push_back({"Single data file", SourceKind::DataFile});
  return kinds;
}

std::string fileFilter(SourceKind kind, LoadMethod method) {
  switch (kind) {
    case SourceKind::ZipArchive:
    case SourceKind::ZipImage:
      return "ZIP archive (*.zip)";
    case SourceKind::DataFile:
      return "single data file (*)";
    default:
      return method == LoadMethod::FileUpload ? "Firmware image files (*.ldp)"
                                              : "Firmware image files (*.ldp *.ldr)";
  }
}

std::string connectionPageText() {
  return "Connect the receiver to your computer via a supported interface, and choose the corresponding connection "
         "parameters. Then choose a loading method:\r\n"
         "  \xE2\x80\x94  Choose 'Power On Capture' and turn your receiver off, if you can't connect to the receiver "
         "with any receiver control software. \r\n"
         "  \xE2\x80\x94  Choose 'Soft Break Capture' and turn your receiver on otherwise. Then click 'Test' to be sure "
         "that your receiver can be connected using the selected port.\r\n"
         "  \xE2\x80\x94  'File uploading into receiver memory' method allows to load only some firmware parts, one by "
         "one, but via any interface.\r\n"
         "Click Next when you are ready for the next step.";
}

std::string sourcePageText() {
  return std::string(
             "The firmware is distributed as one ZIP archive which contains several files. You can select such a ZIP "
             "archive directly, or unzip it into a folder on your computer first. The usual way is to update all the "
             "firmware parts, but you may need to load only one firmware image file.\r\n\r\n"
             "Select a ZIP archive, or any file from an unzipped set of firmware images, or one image file to load. "
             "Some image files require ") +
         catalogue::kEntries[0].title + " which will be added, if needed.\r\n\r\nClick Next when you are ready for the next step.";
}

std::string sourceListing(const FirmwareImageSet& set) {
  std::string text = "The following file";
  if (set.names.size() > 1) text += "s";
  text += " found and will be loaded:\r\n";
  for (const std::string& name : set.names) text += "- " + catalogue::titleOf(name) + " (" + name + ")\r\n";
  text += "from \"" + set.source + "\"";
  return text;
}

std::string imageDetails(const std::vector<ImageFacts>& images, const std::string& receiverFirmware,
                         const std::string& receiverHardware) {
  std::string text;
  for (const ImageFacts& image : images) {
    text += "- " + image.title + " (" + image.name + "): " + RunProgress::kibText(image.size);
    if (image.builtFor() != FirmwareImage::kNoVersion) text += ", for hardware " + std::to_string(image.builtFor());
    if (!image.isLdp) text += ", loader version " + std::to_string(image.ldrVersion);
    text += "\r\n";
  }
  if (!receiverFirmware.empty() || !receiverHardware.empty()) {
    text += "The receiver runs main firmware " + (receiverFirmware.empty() ? std::string("(not told)") : receiverFirmware);
    if (!receiverHardware.empty()) text += " on hardware " + receiverHardware;
    text += ".\r\n";
  }
  return text;
}

std::string stepText(int page) {
  static const char* const kSteps[] = {"Connection", "Source", "Loading"};
  if (page < 0 || page > 2) return "";
  return "Step " + std::to_string(page + 1) + " of 3: " + kSteps[page];
}

std::string portItemText(const PortEntry& port) { return port.description.empty() ? port.name : port.description; }

std::string resultPanelText(const RunOutcome& outcome) {
  std::string text;
  switch (outcome.kind) {
    case OutcomeKind::Confirmed: text = "Loaded and confirmed."; break;
    case OutcomeKind::Unconfirmed: text = "Loaded, not confirmed."; break;
    case OutcomeKind::Aborted: text = "Stopped."; break;
    case OutcomeKind::Failed:
    case OutcomeKind::Refused:
      text = outcome.failure == FailureKind::Unconfirmed ? "Loaded, not confirmed."
                                                         : std::string("Failed: ") + failureKindWords(outcome.failure) + ".";
      break;
  }
  if (const std::string images = imagesSummary(outcome.images); !images.empty()) text += " " + images + ".";
  // Of a load that did not end confirmed, what came of the images the count leaves out: each one
  // that failed or was refused with its words, those never reached in one line.
  if (outcome.kind != OutcomeKind::Confirmed) {
    std::string notReached;
    for (const LoadedImage& image : outcome.images) {
      if (image.result == ImageResult::NotReached) notReached += (notReached.empty() ? "" : ", ") + image.title;
      else if (image.result != ImageResult::Flashed && image.result != ImageResult::Stored)
        text += "\r\n" + imageResultLine(image);
    }
    if (!notReached.empty()) text += "\r\nNot reached: " + notReached;
  }
  if (!outcome.remedy.empty()) text += "\r\n" + outcome.remedy;
  return text;
}

std::string nextSpinner(const std::string& present) {
  static const std::string dash = "\xE2\x80\x94";  // em dash
  if (present.empty()) return "|";
  if (present.size() >= dash.size() && present.compare(present.size() - dash.size(), dash.size(), dash) == 0) return "\\";
  switch (present.back()) {
    case '/': return dash + dash;
    case '\\': return "|";
    case '|': return "/";
    default: return "|";
  }
}

std::string windowTitle(const std::string& base, const std::string& port, const std::string& model) {
  if (port.empty()) return base;
  if (model.empty()) return base + ": " + port;
  return base + ": " + model + " at " + port;
}

}  // namespace wizard
