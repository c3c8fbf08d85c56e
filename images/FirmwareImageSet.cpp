#include "FirmwareImageSet.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "ImageCatalogue.h"
#include "InputFile.h"
#include "PathText.h"
#include "ZipArchive.h"

using namespace catalogue;

int FirmwareImageSet::add(FirmwareImage image) {
  if (image.isRamLoader) {
    images.insert(images.begin(), std::move(image));
    return 0;
  }
  images.push_back(std::move(image));
  return static_cast<int>(images.size()) - 1;
}

void FirmwareImageSet::clear() {
  for (FirmwareImage& image : images) image.close();
  images.clear();
}

void FirmwareImageSet::moveToEnd(const char* name) {
  for (std::size_t i = 1; i + 1 < images.size(); ++i) {
    if (baseName(images[i].path) == name) {
      FirmwareImage image = std::move(images[i]);
      images.erase(images.begin() + static_cast<std::ptrdiff_t>(i));
      add(std::move(image));
      return;
    }
  }
}

void FirmwareImageSet::order(bool portBPowerSlots) {
  if (images.size() <= 2 || !images[0].isRamLoader) return;
  moveToEnd(kMainFile);
  if (portBPowerSlots) moveToEnd(kPowerBoardFile);
  for (std::size_t i = 2; i < images.size(); ++i) {
    if (baseName(images[i].path) == kBootLoaderFile) {
      FirmwareImage image = std::move(images[i]);
      images.erase(images.begin() + static_cast<std::ptrdiff_t>(i));
      images.insert(images.begin() + 1, std::move(image));
      return;
    }
  }
}

void FirmwareImageSet::sortNames() { std::sort(names.begin(), names.end()); }

bool FirmwareImageSet::hasNumberedName(SourceKind kind) const {
  const bool archive = kind == SourceKind::ZipArchive || kind == SourceKind::ZipImage;
  return std::any_of(names.begin(), names.end(), [&](const std::string& name) {
    if (!archive) return isNumberedName(name);
    const auto slash = name.find('/');
    return isNumberedName(slash == std::string::npos ? name : name.substr(slash + 1));
  });
}

std::pair<bool, int> FirmwareImageSet::findLdpWithoutRamLoader() const {
  const bool haveRamLoader = std::any_of(names.begin(), names.end(), isRamLoaderName);
  if (haveRamLoader) return {true, -1};
  for (std::size_t i = 0; i < names.size(); ++i)
    if (isLdpName(names[i])) return {false, static_cast<int>(i)};
  return {true, -1};
}

bool FirmwareImageSet::ramLoaderBesideSource() const {
  std::error_code ec;
  return std::filesystem::exists(pathtext::fromUtf8(source + kRamLoaderFile), ec);
}

namespace {
// "*.ld?" in any case.
bool looksLikeImageFile(const std::string& name) {
  const std::size_t n = name.size();
  return n >= 4 && name[n - 4] == '.' && std::tolower(static_cast<unsigned char>(name[n - 3])) == 'l' &&
         std::tolower(static_cast<unsigned char>(name[n - 2])) == 'd';
}
}  // namespace

std::string FirmwareImageSet::tooLarge(const std::string& path, uint64_t planned) const {
  constexpr uint64_t kMiB = 1024 * 1024;
  return "The images in " + path + " declare " + std::to_string((planned + kMiB - 1) / kMiB) +
         " MiB together, more than the " + std::to_string(maxSourceBytes / kMiB) +
         " MiB a firmware distribution may hold; it is refused (--max-source-mib N allows more).";
}

std::string FirmwareImageSet::scanFolder(bool includeLoaderImages) {
  std::error_code ec;
  std::filesystem::directory_iterator dir(pathtext::fromUtf8(source), ec);
  if (ec) return {};
  std::vector<std::string> found;
  uint64_t planned = 0;
  for (const auto& entry : dir) {
    const std::string name = pathtext::toUtf8(entry.path().filename());
    if (!looksLikeImageFile(name)) continue;
    std::error_code statusEc;
    if (!std::filesystem::exists(entry.status(statusEc)) || entry.is_directory(statusEc)) continue;
    if (isImageFileName(name) && (includeLoaderImages || isLdpName(name))) {
      if (!entry.is_regular_file(statusEc)) return inputfile::notRegularFile(pathtext::toUtf8(entry.path()), "The image");
      found.push_back(name);
      const uintmax_t size = entry.file_size(statusEc);
      if (!statusEc) planned += size;
    }
  }
  if (planned > maxSourceBytes) return tooLarge(source, planned);
  // The directory's own order is arbitrary on Linux; list the files by name.
  std::sort(found.begin(), found.end());
  names = std::move(found);
  return {};
}

namespace {
std::string lowerAscii(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}
}  // namespace

// From the archive's directory alone: nothing is inflated before the set is known to be sound.
std::string FirmwareImageSet::scanArchive(const std::string& path, bool includeLoaderImages) {
  ZipArchive zip;
  if (!zip.open(path)) return "Unable to open " + path;
  source = path;
  std::size_t entries = 0;
  uint64_t planned = 0;
  std::map<std::string, std::string> byLowerCase;
  std::string twins;
  std::vector<std::string> found;
  const bool complete = zip.forEachEntry([&](const ZipArchive::EntryInfo& entry) {
    if (++entries > kMaxArchiveEntries) return;
    const auto [at, added] = byLowerCase.emplace(lowerAscii(entry.name), entry.name);
    if (!added && at->second != entry.name && twins.empty()) twins = at->second + " and " + entry.name;
    if (entry.size > 0 && isImageFileName(entry.name) && (includeLoaderImages || isLdpName(entry.name))) {
      found.push_back(entry.name);
      planned += entry.size;
    }
  });
  if (entries > kMaxArchiveEntries)
    return "The archive " + path + " holds more than " + std::to_string(kMaxArchiveEntries) +
           " entries; a firmware distribution holds a few: it is refused.";
  if (!twins.empty())
    return "The archive " + path + " holds both " + twins +
           ", whose names differ only in case: which one is meant cannot be told, so it is refused.";
  if (planned > maxSourceBytes) return tooLarge(path, planned);
  if (!complete && found.empty()) return "Unable to open " + path;
  names = std::move(found);
  return {};
}

std::string FirmwareImageSet::scanSource(const std::string& path, SourceKind kind, bool includeLoaderImages) {
  clear();
  names.clear();
  std::string error;
  const auto slash = pathtext::lastSeparator(path);
  source = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
  const std::string fileName = slash == std::string::npos ? path : path.substr(slash + 1);
  // A device or a pipe would be read for ever, or block until something writes to it.
  error = kind == SourceKind::Folder ? "" : inputfile::special(path, "The source");
  if (!error.empty()) return error;
  switch (kind) {
    case SourceKind::Folder:
      error = scanFolder(includeLoaderImages);
      if (!error.empty()) return error;
      break;
    case SourceKind::ImageFile:
      names.push_back(fileName);
      if (includeLoaderImages && isLdpName(fileName) && !isNumberedName(fileName) && ramLoaderBesideSource())
        names.insert(names.begin(), kRamLoaderFile);
      content = SetContent::Firmware;
      break;
    case SourceKind::ZipArchive:
    case SourceKind::ZipImage:
      error = scanArchive(path, includeLoaderImages);
      if (!error.empty()) return error;
      break;
    case SourceKind::DataFile:
      // The receiver's commands take the name between separators these characters would forge.
      if (fileName.find_first_of("%:") != std::string::npos)
        return "The data file's name " + fileName +
               " holds '%' or ':', which the receiver's commands read as separators: rename the file.";
      names.push_back(fileName);
      if (ramLoaderBesideSource()) names.insert(names.begin(), kRamLoaderFile);
      content = SetContent::DataFile;
      break;
  }
  if (kind == SourceKind::Folder || kind == SourceKind::ZipArchive || kind == SourceKind::ZipImage) {
    if (names.empty()) return "No firmware images found in " + path;
    content = SetContent::Firmware;
  }
  return error;
}

std::vector<std::string> pickImage(const std::vector<std::string>& names, const std::string& chosen,
                                   bool includeLoaderImages) {
  std::string helper;
  if (includeLoaderImages && isLdpName(chosen)) {
    for (const std::string& name : names) {
      const bool passes = isNumberedName(name) ? isUtilityLoaderName(name) : isRamLoaderName(name);
      if (passes) {
        helper = name;
        break;
      }
    }
  }
  std::vector<std::string> result;
  if (!helper.empty()) result.push_back(helper);
  result.push_back(chosen);
  return result;
}
