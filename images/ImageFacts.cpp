#include "ImageFacts.h"

#include "FirmwareImage.h"
#include "FirmwareImageSet.h"
#include "Sha256.h"

namespace {
// Both header layouts end by byte 20: a shorter file holds no header.
constexpr std::size_t kHeaderBytes = 20;
}  // namespace

uint32_t ImageFacts::builtFor() const { return isLdp ? ldpHardwareVersion : ldrHardwareVersion; }

ImageFacts factsOf(const FirmwareImage& image) {
  ImageFacts f;
  f.name = image.path;
  f.path = image.path;
  f.fileName = image.fileName;
  f.title = image.title;
  f.isLdp = image.isLdp;
  f.isRamLoader = image.isRamLoader;
  f.ldrVersion = image.ldrVersion;
  f.ldrHardwareVersion = image.ldrHardwareVersion;
  f.ldpHardwareVersion = image.ldpHardwareVersion;
  f.size = image.size();
  return f;
}

std::string inspectImages(const FirmwareImageSet& set, SourceKind kind, std::vector<ImageFacts>& facts,
                          const std::function<bool()>& stopped) {
  facts.clear();
  const bool archive = kind == SourceKind::ZipArchive || kind == SourceKind::ZipImage;
  for (const std::string& name : set.names) {
    if (stopped && stopped()) return "Stopped while the images were read: nothing was sent to the receiver.";
    const FirmwareImage image(set.source, name, kind);
    if (!image.isLoaded())
      return "The image " + name + (archive ? " in " + set.source : "") + " cannot be read (" + image.loadError() +
             "): nothing was sent to the receiver. Get the firmware distribution again.";
    if (kind != SourceKind::DataFile && image.size() < kHeaderBytes)
      return "The image " + name + " is " + std::to_string(image.size()) +
             " bytes long, too short to hold a firmware header: it is not a firmware image, and nothing was sent "
             "to the receiver.";
    ImageFacts f = factsOf(image);
    f.name = name;
    f.sha256 = Sha256::of(image.data().data(), image.size());
    facts.push_back(std::move(f));
  }
  return "";
}
