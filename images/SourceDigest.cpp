#include "SourceDigest.h"

#include <map>
#include <vector>

#include "FirmwareImageSet.h"
#include "InputFile.h"
#include "PathText.h"
#include "Sha256.h"

namespace {

// A digest list names a distribution's files: far below these.
constexpr std::size_t kMaxListBytes = 1 << 20;
constexpr std::size_t kMaxListLineBytes = 4096;

std::string baseName(const std::string& path) {
  const auto slash = pathtext::lastSeparator(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The list's digests by file name (without any folder). A line that is no digest is skipped.
std::map<std::string, std::string> readList(const std::string& listFile, std::string& error) {
  std::map<std::string, std::string> byName;
  std::vector<std::string> lines;
  if (!inputfile::readLines(listFile, "The digest list", kMaxListBytes, kMaxListLineBytes, lines, error)) return byName;
  for (const std::string& line : lines) {
    const auto gap = line.find(' ');
    if (gap == std::string::npos) continue;
    const std::string digest = normalisedSha256(line.substr(0, gap));
    std::string name = line.substr(gap + 1);
    if (!name.empty() && (name[0] == ' ' || name[0] == '*')) name.erase(0, 1);  // text or binary mode
    if (!digest.empty() && !name.empty()) byName[baseName(name)] = digest;
  }
  return byName;
}

std::string mismatch(const std::string& name, const std::string& expected, const std::string& actual) {
  return "The digest of " + name + " is " + actual + ", but " + expected +
         " was expected: the file is not the one meant, so nothing is loaded.";
}

// Checks one file against the list: "" when it is listed with this digest.
std::string checkListed(const std::map<std::string, std::string>& list, const std::string& listFile,
                        const std::string& name, const std::string& actual) {
  const auto at = list.find(name);
  if (at == list.end())
    return "The digest list " + listFile + " does not name " + name + ", so nothing is loaded.";
  return at->second == actual ? std::string() : mismatch(name, at->second, actual);
}

std::string checkFolder(const std::string& folder, const FirmwareImageSet& set, const DigestExpectation& expected,
                        const std::function<bool()>& stopped) {
  std::string error;
  const auto list = readList(expected.listFile, error);
  for (const std::string& name : set.names) {
    if (!error.empty()) break;
    const std::string actual = Sha256::ofFile(folder + name, error, stopped);
    if (error.empty()) error = checkListed(list, expected.listFile, name, actual);
  }
  return error;
}

}  // namespace

std::string sourceFilePath(const std::string& path, SourceKind kind) {
  return kind == SourceKind::Folder ? std::string() : path;
}

SourceDigest digestSource(const std::string& path, SourceKind kind, const FirmwareImageSet& set,
                          const DigestExpectation& expected, const std::function<bool()>& stopped) {
  SourceDigest result;
  const std::string file = sourceFilePath(path, kind);
  if (file.empty()) {
    if (expected.any()) result.error = checkFolder(set.source, set, expected, stopped);
    return result;
  }
  result.sha256 = Sha256::ofFile(file, result.error, stopped);
  if (!result.error.empty() || !expected.any()) return result;
  if (!expected.sha256.empty()) {
    if (expected.sha256 != result.sha256) result.error = mismatch(baseName(file), expected.sha256, result.sha256);
    return result;
  }
  const auto list = readList(expected.listFile, result.error);
  if (result.error.empty()) result.error = checkListed(list, expected.listFile, baseName(file), result.sha256);
  return result;
}
