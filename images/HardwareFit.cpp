#include "HardwareFit.h"

#include <algorithm>
#include <map>

#include "FirmwareImage.h"
#include "ImageCatalogue.h"

namespace hardwarefit {
namespace {

constexpr int kRamMatchA = 20;
constexpr int kRamMatchB = 22;

std::string versionText(uint32_t v) {
  return v == FirmwareImage::kNoVersion ? std::string("none") : std::to_string(v);
}

std::string refusal(const ImageFacts& image, int hardware, uint32_t built) {
  return "The firmware does not fit this receiver: " + image.title + " (" + image.name +
         ") is built for hardware version " + versionText(built) + ", the receiver's is " + std::to_string(hardware) +
         ". Nothing was sent to the receiver: load the firmware built for hardware version " +
         std::to_string(hardware) + ".";
}

bool flashFits(uint32_t built, int hardware) { return built == static_cast<uint32_t>(hardware); }

std::string namedMisfit(const std::vector<ImageFacts>& images, int hardware) {
  const bool anyLdp = std::any_of(images.begin(), images.end(), [](const ImageFacts& i) { return i.isLdp; });
  for (const ImageFacts& image : images) {
    // The RAM loader is sent only as the loader of the ".ldp" images.
    if (image.isRamLoader && !anyLdp) continue;
    if (image.isLdp ? !flashFits(image.ldpHardwareVersion, hardware) : !ramFits(image.ldrHardwareVersion, hardware))
      return refusal(image, hardware, image.builtFor());
  }
  return "";
}

const ImageFacts* utilityLoader(const std::vector<ImageFacts>& images, int id) {
  for (const ImageFacts& i : images)
    if (i.fileName.size() >= 3 && i.fileName[0] == '_' && i.fileName[2] - '0' == id) return &i;
  return nullptr;
}

std::string numberedMisfit(const std::vector<ImageFacts>& images, int hardware) {
  for (const ImageFacts& image : images) {
    if (catalogue::isUtilityLoaderName(image.fileName)) continue;
    const int type = catalogue::fileType(image.fileName);
    const ImageFacts* loader = type == 1 || type == 3 ? utilityLoader(images, catalogue::utilityLoaderNumber(image.fileName)) : nullptr;
    if (loader) {
      if (!ramFits(loader->ldrHardwareVersion, hardware)) return refusal(*loader, hardware, loader->ldrHardwareVersion);
      if (image.isLdp && !flashFits(image.ldpHardwareVersion, hardware))
        return refusal(image, hardware, image.ldpHardwareVersion);
    } else if (type == 2 || type == 3) {
      // Run from RAM: its flash hardware version is compared as both.
      if (!flashFits(image.ldpHardwareVersion, hardware)) return refusal(image, hardware, image.ldpHardwareVersion);
    }
  }
  return "";
}

// Twins are grouped by file name, in the order the source names them.
std::map<std::string, std::vector<std::size_t>> groups(const std::vector<ImageFacts>& images) {
  std::map<std::string, std::vector<std::size_t>> byName;
  for (std::size_t i = 0; i < images.size(); ++i) byName[images[i].fileName].push_back(i);
  for (auto it = byName.begin(); it != byName.end();) it = it->second.size() > 1 ? std::next(it) : byName.erase(it);
  return byName;
}

}  // namespace

bool ramFits(uint32_t built, int hardware) {
  const auto b = static_cast<int64_t>(built);
  return b == hardware || (hardware == kRamMatchA && b == kRamMatchB) || (hardware == kRamMatchB && b == kRamMatchA);
}

std::string misfit(const std::vector<ImageFacts>& images, int hardware, Path path) {
  switch (path) {
    case Path::NamedBootLoader: return namedMisfit(images, hardware);
    case Path::NumberedBootLoader: return numberedMisfit(images, hardware);
    case Path::FileUpload:
      for (const ImageFacts& image : images)
        if (!flashFits(image.ldpHardwareVersion, hardware)) return refusal(image, hardware, image.ldpHardwareVersion);
      return "";
    case Path::DataFile: return "";
  }
  return "";
}

bool hasTwins(const std::vector<ImageFacts>& images) { return !groups(images).empty(); }

std::string undecidableTwins(const std::vector<ImageFacts>& images) {
  for (const auto& [fileName, at] : groups(images)) {
    for (std::size_t a = 0; a < at.size(); ++a)
      for (std::size_t b = a + 1; b < at.size(); ++b) {
        const ImageFacts& x = images[at[a]];
        const ImageFacts& y = images[at[b]];
        if (x.builtFor() != y.builtFor()) continue;
        return "The source holds " + x.name + " and " + y.name + ", both built for hardware version " +
               versionText(x.builtFor()) +
               ": which one a receiver needs cannot be told, so the source is refused and nothing was sent to the "
               "receiver. Load a distribution of one receiver model.";
      }
  }
  return "";
}

std::vector<std::string> chooseTwins(std::vector<ImageFacts>& images, int hardware) {
  std::vector<std::string> kept;
  std::vector<bool> drop(images.size(), false);
  for (const auto& [fileName, at] : groups(images)) {
    auto chosen = std::find_if(at.begin(), at.end(), [&](std::size_t i) { return flashFits(images[i].builtFor(), hardware); });
    if (chosen == at.end())
      chosen = std::find_if(at.begin(), at.end(), [&](std::size_t i) {
        return !images[i].isLdp && ramFits(images[i].builtFor(), hardware);
      });
    if (chosen == at.end()) continue;
    kept.push_back(images[*chosen].name);
    for (std::size_t i : at) drop[i] = i != *chosen;
  }
  std::vector<ImageFacts> left;
  for (std::size_t i = 0; i < images.size(); ++i)
    if (!drop[i]) left.push_back(std::move(images[i]));
  images = std::move(left);
  return kept;
}

}  // namespace hardwarefit
