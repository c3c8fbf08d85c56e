#include "FirmwareImage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "ImageCatalogue.h"
#include "PathText.h"
#include "ZipArchive.h"

namespace {

bool IsArchiveKind(SourceKind kind) { return kind == SourceKind::ZipArchive || kind == SourceKind::ZipImage; }

}  // namespace

FirmwareImage::FirmwareImage(const std::string& sourcePath, const std::string& name, SourceKind kind) {
  const std::string fullPath = IsArchiveKind(kind) ? name : sourcePath + name;
  if (fullPath.empty()) {
    loadError_ = "no file name";
    return;
  }
  describe(fullPath, kind);
  if (IsArchiveKind(kind)) loadFromArchive(sourcePath, name);
  else loadFromFile();
  if (kind != SourceKind::DataFile && isLoaded()) readHeader();
}

FirmwareImage FirmwareImage::fromBytes(const std::string& path, std::vector<uint8_t> bytes, SourceKind kind) {
  FirmwareImage image;
  image.describe(path, kind);
  image.data_ = std::move(bytes);
  if (kind != SourceKind::DataFile && image.isLoaded()) image.readHeader();
  return image;
}

void FirmwareImage::describe(const std::string& fullPath, SourceKind kind) {
  path = fullPath;
  if (kind != SourceKind::DataFile) isLdp = catalogue::isLdpName(path);
  const auto cut = pathtext::lastSeparator(path);
  fileName = cut == std::string::npos ? path : path.substr(cut + 1);
  title = catalogue::titleOf(fileName);
  if (kind != SourceKind::DataFile) isRamLoader = fileName == catalogue::kRamLoaderFile;
}

void FirmwareImage::loadFromFile() {
  const std::filesystem::path file = pathtext::fromUtf8(path);
  std::error_code ec;
  const auto status = std::filesystem::status(file, ec);
  if (ec) {
    loadError_ = ec.message();
    return;
  }
  if (!std::filesystem::is_regular_file(status)) {
    loadError_ = "not a regular file";
    return;
  }
  errno = 0;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    loadError_ = errno != 0 ? std::strerror(errno) : "the file cannot be opened";
    return;
  }
  const uint64_t length = std::filesystem::file_size(file, ec);
  if (ec) {
    loadError_ = ec.message();
    return;
  }
  if (length >= (1ull << 31)) {
    loadError_ = "the file is 2 GiB or larger; firmware images are at most 256 MiB";
    return;
  }
  if (length > kMaxFileBytes) {
    loadError_ = "the file is larger than 256 MiB, too large for a firmware image";
    return;
  }
  if (length == 0) {
    loadError_ = "the file is empty";
    return;
  }
  data_.resize(static_cast<std::size_t>(length));
  in.read(reinterpret_cast<char*>(data_.data()), static_cast<std::streamsize>(data_.size()));
  if (in.gcount() != static_cast<std::streamsize>(data_.size())) {
    data_.clear();
    loadError_ = "the file could not be read to its end";
  }
}

void FirmwareImage::loadFromArchive(const std::string& archivePath, const std::string& entryName) {
  ZipArchive zip;
  if (!zip.open(archivePath)) {
    loadError_ = "the archive cannot be opened";
    return;
  }
  zip.readEntry(entryName, data_, loadError_);
  if (data_.empty() && loadError_.empty()) loadError_ = "the entry is empty";
}

bool FirmwareImage::seek(int64_t offset) {
  if (data_.empty()) return false;
  readPosition_ = static_cast<std::size_t>(std::clamp<int64_t>(offset, 0, static_cast<int64_t>(data_.size())));
  return true;
}

void FirmwareImage::rewind() {
  if (!data_.empty()) readPosition_ = 0;
}

int FirmwareImage::read(uint8_t* buffer, int count) {
  if (data_.empty() || count <= 0) return 0;
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), data_.size() - readPosition_);
  std::memcpy(buffer, data_.data() + readPosition_, n);
  readPosition_ += n;
  return static_cast<int>(n);
}

void FirmwareImage::close() {
  data_.clear();
  data_.shrink_to_fit();
  readPosition_ = 0;
}

bool FirmwareImage::readBigEndian(int64_t offset, uint32_t& value) {
  uint8_t b[4];
  seek(offset);
  if (read(b, 4) < 4) return false;
  value = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
  return true;
}

bool FirmwareImage::readHeader() {
  if (!isLdp) {
    if (!readBigEndian(8, ldrVersion)) return false;
    if (!readBigEndian(16, ldrHardwareVersion)) return false;
    rewind();
    ldpHardwareVersion = kNoVersion;
    return true;
  }
  ldrVersion = ldrHardwareVersion = kNoVersion;
  rewind();
  uint8_t lead[4];
  if (read(lead, 4) < 4) return false;
  const bool allFf = lead[0] == 0xFF && lead[1] == 0xFF && lead[2] == 0xFF && lead[3] == 0xFF;
  seek(allFf ? 4 : 19);
  uint8_t hw = 0;
  if (read(&hw, 1) < 1) return false;
  ldpHardwareVersion = hw;
  return true;
}
