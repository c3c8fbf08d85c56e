#pragma once
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

// The archive file as minizip reads it: small reads at many offsets (every directory entry, every
// local header, byte by byte). A window of the file is kept and moves only when a read falls
// outside it, so walking an archive's directory costs a few reads of the file, not one for each
// field. Read-only.
class ZipFileReader {
 public:
  static constexpr std::size_t kWindowBytes = 64 * 1024;

  // False when the file cannot be opened (the reader then reports an error on every call).
  bool open(const std::string& path);
  // Copies up to size bytes from the position; fewer at the end of the file.
  std::size_t read(void* buffer, std::size_t size);
  // origin: 0 from the start, 1 from the position, 2 from the end. False for a position outside
  // the file (the position is then unchanged).
  bool seek(int64_t offset, int origin);
  uint64_t tell() const { return position_; }
  bool failed() const { return failed_; }

  // The read-only file functions for minizip's unzOpen2_64, whose stream is a ZipFileReader
  // created by their open and deleted by their close.
  static void fillFunctions(void* functions);  // a zlib_filefunc64_def

 private:
  bool fill(uint64_t at);

  std::ifstream file_;
  uint64_t size_ = 0;
  uint64_t position_ = 0;
  uint64_t windowStart_ = 0;
  std::vector<uint8_t> window_;
  bool failed_ = false;
};
