#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Read access to a ZIP archive (minizip's unzip API). Entries are read whole and checked against
// the CRC-32 the archive records for them.
class ZipArchive {
 public:
  // Entries larger than this are refused: firmware images are tens of MiB at most, and a crafted
  // archive may declare any size.
  static constexpr uint64_t kMaxEntryBytes = 256ull * 1024 * 1024;
  // Entry names are read into a buffer of this many bytes, terminator included.
  static constexpr int kNameBufferSize = 260;

  struct EntryInfo {
    std::string name;
    uint64_t size = 0;
  };

  ZipArchive() = default;
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  bool open(const std::string& path);
  void close();
  bool isOpen() const { return handle_ != nullptr; }

  // Calls visit for every entry in the order of the central directory. False when the directory
  // cannot be walked to its end.
  bool forEachEntry(const std::function<void(const EntryInfo&)>& visit);

  // Reads the entry whose name equals name, ignoring the case of ASCII letters. On failure data
  // is empty and error says why.
  bool readEntry(const std::string& name, std::vector<uint8_t>& data, std::string& error);

 private:
  void* handle_ = nullptr;  // unzFile
};
