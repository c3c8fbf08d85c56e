#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "SourceKind.h"

class FirmwareImage;
class FirmwareImageSet;

// What a run needs to know of one image before any receiver is touched: its name in the source, its
// catalogue title, its header's versions, its size and its bytes' digest. The bytes themselves are
// let go once these are known; the load reads them again.
struct ImageFacts {
  std::string name;      // as the source names it ("modelB/main.ldp" in an archive, "main.ldp" in a folder)
  std::string path;      // as the load reads it: an archive's entry, a folder's or a file's path
  std::string fileName;  // the part after the last separator
  std::string title;     // the catalogue's title, "Main firmware"
  bool isLdp = false;
  bool isRamLoader = false;
  uint32_t ldrVersion = 0;
  uint32_t ldrHardwareVersion = 0;
  uint32_t ldpHardwareVersion = 0;
  uint64_t size = 0;
  std::string sha256;

  // The hardware version the image was built for, as its header records it.
  uint32_t builtFor() const;
};

// The facts of an image already read (the digest is left empty: nobody asked for it).
ImageFacts factsOf(const FirmwareImage& image);

// Reads every image the set names, one at a time, checks that it can be read whole and that its
// header is there, and keeps its facts. Returns "" or why the source cannot be loaded (the image
// named, with what the operator can do); stopped() is asked between images.
std::string inspectImages(const FirmwareImageSet& set, SourceKind kind, std::vector<ImageFacts>& facts,
                          const std::function<bool()>& stopped = {});
