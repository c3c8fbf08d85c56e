#include "FirmwareImageSet.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "ImageCatalogue.h"
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
  std::unique_ptr<FILE, decltype(&std::fclose)> f(std::fopen((source + kRamLoaderFile).c_str(), "rb"), &std::fclose);
  return f != nullptr;
}

void FirmwareImageSet::scanFolder(bool includeLoaderImages) {
  struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
  };
  std::unique_ptr<DIR, DirCloser> dir(opendir(source.c_str()));
  if (!dir) return;
  std::vector<std::string> found;
  while (dirent* e = readdir(dir.get())) {
    const std::string name = e->d_name;
    if (fnmatch("*.ld?", name.c_str(), FNM_CASEFOLD) != 0) continue;
    struct stat st {};
    if (::stat((source + name).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
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
  const auto slash = path.rfind('/');
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
