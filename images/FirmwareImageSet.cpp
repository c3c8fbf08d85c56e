#include "FirmwareImageSet.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <memory>

#include "ImageCatalogue.h"
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
  std::ifstream f(pathtext::fromUtf8(source + kRamLoaderFile), std::ios::binary);
  return f.is_open();
}

namespace {
// "*.ld?" in any case.
bool looksLikeImageFile(const std::string& name) {
  const std::size_t n = name.size();
  return n >= 4 && name[n - 4] == '.' && std::tolower(static_cast<unsigned char>(name[n - 3])) == 'l' &&
         std::tolower(static_cast<unsigned char>(name[n - 2])) == 'd';
}
}  // namespace

void FirmwareImageSet::scanFolder(bool includeLoaderImages) {
  std::error_code ec;
  std::filesystem::directory_iterator dir(pathtext::fromUtf8(source), ec);
  if (ec) return;
  std::vector<std::string> found;
  for (const auto& entry : dir) {
    const std::string name = pathtext::toUtf8(entry.path().filename());
    if (!looksLikeImageFile(name)) continue;
    std::error_code statusEc;
    if (!std::filesystem::exists(entry.status(statusEc)) || entry.is_directory(statusEc)) continue;
    if (isImageFileName(name) && (includeLoaderImages || isLdpName(name))) found.push_back(name);
  }
  // The directory's own order is arbitrary on Linux; list the files by name.
  std::sort(found.begin(), found.end());
  names = std::move(found);
}

std::string FirmwareImageSet::scanArchive(const std::string& path, bool includeLoaderImages) {
  ZipArchive zip;
  if (!zip.open(path)) return "Unable to open " + path;
  source = path;
  const bool complete = zip.forEachEntry([&](const ZipArchive::EntryInfo& entry) {
    if (entry.size > 0 && isImageFileName(entry.name) && (includeLoaderImages || isLdpName(entry.name)))
      names.push_back(entry.name);
  });
  if (!complete && names.empty()) return "Unable to open " + path;
  return {};
}

std::string FirmwareImageSet::scanSource(const std::string& path, SourceKind kind, bool includeLoaderImages) {
  clear();
  names.clear();
  std::string error;
  const auto slash = pathtext::lastSeparator(path);
  source = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
  const std::string fileName = slash == std::string::npos ? path : path.substr(slash + 1);
  switch (kind) {
    case SourceKind::Folder:
      scanFolder(includeLoaderImages);
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
