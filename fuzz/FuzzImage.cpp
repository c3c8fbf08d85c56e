// A firmware image file's bytes: its header read under each name the catalogue knows, then the
// whole image read back.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FirmwareImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const char* const kNames[] = {"/f/main.ldp", "/f/ramldr.ldr", "/f/010.ldp", "/f/boot.ldr", "/f/data.cfg"};
  const std::vector<uint8_t> bytes(data, data + size);
  for (const char* name : kNames) {
    FirmwareImage image = FirmwareImage::fromBytes(name, bytes, SourceKind::Folder);
    std::vector<uint8_t> back(size + 1);
    image.rewind();
    const int n = image.read(back.data(), static_cast<int>(back.size()));
    if (image.isLoaded() && static_cast<size_t>(n) != size) __builtin_trap();
    image.seek(static_cast<int64_t>(size / 2));
    image.seek(-1);
  }
  return 0;
}
