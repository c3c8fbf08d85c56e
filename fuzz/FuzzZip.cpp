// A firmware distribution's ZIP archive: its directory walked, every entry read and checked, and
// the images built from it as a load would.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "FirmwareImage.h"
#include "FirmwareImageSet.h"
#include "ZipArchive.h"

namespace {

std::string archivePath() {
  const char* dir = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return std::string(dir) + "/vestrel-fuzz-" + std::to_string(::getpid()) + ".zip";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = archivePath();
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  const bool whole = std::fwrite(data, 1, size, f) == size;
  std::fclose(f);
  if (!whole) return 0;

  ZipArchive zip;
  std::vector<std::string> names;
  if (zip.open(path)) {
    zip.forEachEntry([&names](const ZipArchive::EntryInfo& e) {
      if (names.size() < 4) names.push_back(e.name);
    });
    for (const std::string& name : names) {
      std::vector<uint8_t> bytes;
      std::string error;
      if (!zip.readEntry(name, bytes, error) && !bytes.empty()) __builtin_trap();  // no partial entry
    }
  }
  if (!names.empty()) FirmwareImage(path, names.front(), SourceKind::ZipArchive);
  FirmwareImageSet set;
  set.scanSource(path, SourceKind::ZipArchive, true);
  return 0;
}
