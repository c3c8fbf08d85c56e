#pragma once
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// The stations' tokens for the station API, in a file only the service's user reads: one line a
// station, "station<TAB>sha256<TAB>issued-at<TAB>issued-by", the token's SHA-256 in hexadecimal
// (a token is 256 random bits: its hash cannot be turned back, and a copy of the file writes
// nothing). A station has one token at most: issuing another revokes the one before. The file is
// read again when it changed (vestrel-line --issue-token while the service runs). Every call may
// come from any thread.
class StationTokens {
 public:
  struct Entry {
    std::string station;
    std::string hash;
    std::string issuedAt;  // ISO 8601 UTC
    std::string issuedBy;
  };

  // Reads the file (absent: no station yet); false with error set when a line is none of the above.
  bool load(const std::string& path, std::string& error);
  // A new token for station, made and kept (its hash); empty with error set when it could not be.
  std::string issue(const std::string& station, const std::string& by, std::string& error);
  bool revoke(const std::string& station, std::string& error);
  // The station a token was issued to, or nothing.
  std::optional<std::string> stationOf(const std::string& token);
  std::vector<Entry> list();

  // A station's name: 1..64 of letters, digits and ".-_" (a host's name).
  static bool validStation(const std::string& station);
  // Whether two station names are the same host's (case does not count).
  static bool sameStation(const std::string& a, const std::string& b);

 private:
  bool read(std::string& error);
  void readIfChanged();
  bool save(std::string& error);
  std::mutex mutex_;
  std::string path_;
  std::string readVersion_;  // the file as it was read (its inode, size and time)
  std::vector<Entry> entries_;
};
