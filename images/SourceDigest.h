#pragma once
#include <functional>
#include <string>

#include "SourceKind.h"

class FirmwareImageSet;

// What the operator said the source's bytes must be: "--sha256 HEX" for a source file, or
// "--sha256-file FILE", a list in the form sha256sum writes ("HEX  name" a line).
struct DigestExpectation {
  std::string sha256;    // 64 hexadecimal digits, or empty
  std::string listFile;  // the list's path, or empty
  bool any() const { return !sha256.empty() || !listFile.empty(); }
};

// The source file's digest (an archive, an image file or a data file; empty for a folder) and the
// check against what the operator expects: a source file by its name in the list, a folder's
// images each by its name (an image the list does not name is refused).
struct SourceDigest {
  std::string sha256;  // the source file's digest
  std::string error;   // why the source is refused, both digests named; empty when it passed
};

// The path of the file a source of this kind reads (a folder reads none: empty).
std::string sourceFilePath(const std::string& path, SourceKind kind);

// Digests the scanned set's source and checks it. Reads the source file once more; stopped() is
// asked between pieces, and a digest it stops is refused.
SourceDigest digestSource(const std::string& path, SourceKind kind, const FirmwareImageSet& set,
                          const DigestExpectation& expected, const std::function<bool()>& stopped = {});
