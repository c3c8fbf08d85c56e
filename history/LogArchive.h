#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A run's activity log as the history keeps it beside the run's row: compressed (zlib), at most
// kMaxTextBytes of text, a longer log cut in its middle with a note that says how much went (its
// first lines name the run, its last ones say how it ended), and every secret the run knew masked.
struct StoredLog {
  std::string packed;       // the zlib stream; empty when the run stored no log
  int64_t textBytes = 0;    // the text's bytes, once unpacked
  int64_t fileBytes = 0;    // the log's bytes on the station, before any cut
  bool cut = false;
};

namespace logarchive {
// The text kept at most, and how much of it comes from the log's beginning.
constexpr std::size_t kMaxTextBytes = 1024 * 1024;
constexpr std::size_t kHeadBytes = 256 * 1024;
// How much of a log file is read at most to store it (a longer file is cut).
constexpr std::size_t kMaxFileBytes = 64 * 1024 * 1024;

// The log's text packed, cut and masked: every secret (a password the run was given) replaced by
// "********" wherever it appears.
StoredLog pack(std::string text, const std::vector<std::string>& secrets);
// The log file at path (UTF-8) packed; an empty StoredLog when it cannot be read.
StoredLog packFile(const std::string& path, const std::vector<std::string>& secrets);
// The text of a stored log; false with why when the bytes are not a log this program packed.
bool unpack(const StoredLog& log, std::string& text, std::string& error);
}  // namespace logarchive
