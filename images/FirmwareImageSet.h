#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "FirmwareImage.h"
#include "SourceKind.h"

// The images of one run: the source the names refer to, the chosen names, and the images read
// from them in the order they are sent.
// What a set's source is: firmware images, one plain data file, or not known yet (no scan).
enum class SetContent : int { Firmware = 0, DataFile = 1, Unknown = 2 };

class FirmwareImageSet {
 public:
  // A run's images together may declare this much at most ("--max-source-mib" changes it): they
  // are added up from the archive's directory or the folder's file sizes before anything is
  // inflated or read.
  static constexpr uint64_t kDefaultMaxSourceBytes = 512ull * 1024 * 1024;
  // An archive of more entries than this is no firmware distribution.
  static constexpr std::size_t kMaxArchiveEntries = 10000;

  // Puts the image into the set: a RAM loader goes to the front (index 0), anything else to the
  // end. Returns its index.
  int add(FirmwareImage image);
  void clear();
  FirmwareImage& at(std::size_t index) { return images.at(index); }
  const FirmwareImage& at(std::size_t index) const { return images.at(index); }
  std::size_t count() const { return images.size(); }
  // RAM loader first, boot loader second, main firmware last (then the power board when
  // portBPowerSlots is set); the rest keep their order.
  void order(bool portBPowerSlots);
  void sortNames();
  bool hasNumberedName(SourceKind kind) const;
  // The first ".ldp" name while no name is a RAM loader: (false, its index); else (true, -1).
  std::pair<bool, int> findLdpWithoutRamLoader() const;

  // Fills source and names from the operator's choice. Returns an error text, empty on success.
  std::string scanSource(const std::string& path, SourceKind kind, bool includeLoaderImages);

  std::vector<FirmwareImage> images;
  std::string source;
  std::vector<std::string> names;
  SetContent content = SetContent::Unknown;
  uint64_t maxSourceBytes = kDefaultMaxSourceBytes;

 private:
  void moveToEnd(const char* baseName);
  std::string scanFolder(bool includeLoaderImages);
  std::string tooLarge(const std::string& path, uint64_t planned) const;
  std::string scanArchive(const std::string& path, bool includeLoaderImages);
  bool ramLoaderBesideSource() const;
};

// The picker's accept rule: the chosen name, preceded by its helper (the utility loader of a
// numbered set, else the RAM loader) when loader images are included and the chosen name is an
// ".ldp" name.
std::vector<std::string> pickImage(const std::vector<std::string>& names, const std::string& chosen,
                                   bool includeLoaderImages);
