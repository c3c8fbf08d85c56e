#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "SourceKind.h"

// One image of a run: where its bytes come from, its catalogue title, its header values and its
// bytes held whole in memory with a read cursor. Copies own their bytes.
class FirmwareImage {
 public:
  static constexpr uint32_t kNoVersion = 0xFFFFFFFF;
  // Larger files are refused rather than read (firmware images are tens of MiB at most).
  static constexpr uint64_t kMaxFileBytes = 256ull * 1024 * 1024;

  FirmwareImage() = default;
  // Builds the image and reads its bytes at once: from the archive sourcePath for the archive
  // kinds (name is the entry name), else from the file sourcePath + name.
  FirmwareImage(const std::string& sourcePath, const std::string& name, SourceKind kind);

  bool isLoaded() const { return !data_.empty(); }
  bool seek(int64_t offset);
  void rewind();
  // Copies up to count bytes from the cursor; a short count means the end of the image.
  int read(uint8_t* buffer, int count);
  void close();
  bool readHeader();

  // An image made from bytes already in memory (tests, the sample generator).
  static FirmwareImage fromBytes(const std::string& path, std::vector<uint8_t> bytes, SourceKind kind);

  std::string path;
  std::string fileName;
  std::string title;
  bool isLdp = false;
  bool isRamLoader = false;
  uint32_t ldrVersion = 0;
  uint32_t ldrHardwareVersion = 0;
  uint32_t ldpHardwareVersion = 0;

  const std::vector<uint8_t>& data() const { return data_; }
  std::size_t size() const { return data_.size(); }
  std::size_t readPosition() const { return readPosition_; }
  // Why the bytes could not be read (empty when loaded).
  const std::string& loadError() const { return loadError_; }

 private:
  void describe(const std::string& fullPath, SourceKind kind);
  void loadFromFile();
  void loadFromArchive(const std::string& archivePath, const std::string& entryName);
  bool readBigEndian(int64_t offset, uint32_t& value);

  std::vector<uint8_t> data_;
  std::size_t readPosition_ = 0;
  std::string loadError_;
};
