#include "StationTokens.h"

#include <sodium.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "HistoryClock.h"
#include "PathText.h"
#include "ReplacedFile.h"

namespace {

constexpr const char* kTokenPrefix = "vls1_";
constexpr std::size_t kTokenBytes = 32;

std::string hashOf(const std::string& token) {
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(token.data()), token.size());
  char hex[crypto_hash_sha256_BYTES * 2 + 1];
  sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
  return hex;
}

bool isHash(const std::string& text) {
  return text.size() == crypto_hash_sha256_BYTES * 2 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// What tells one version of the file from the next: a new file takes its name at every write (a
// new inode), and two writes may fall within one tick of the file system's clock.
std::string versionOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return "";
  return std::to_string(info.st_ino) + ":" + std::to_string(info.st_size) + ":" + std::to_string(info.st_mtim.tv_sec) +
         "." + std::to_string(info.st_mtim.tv_nsec);
}

}  // namespace

bool StationTokens::validStation(const std::string& station) {
  if (station.empty() || station.size() > 64) return false;
  return std::all_of(station.begin(), station.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
  });
}

bool StationTokens::sameStation(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

bool StationTokens::load(const std::string& path, std::string& error) {
  if (sodium_init() < 0) return error = "libsodium cannot start", false;
  std::lock_guard lock(mutex_);
  path_ = path;
  return read(error);
}

bool StationTokens::read(std::string& error) {
  std::vector<Entry> entries;
  const std::string version = versionOf(path_);
  std::ifstream file(pathtext::fromUtf8(path_));
  std::string line;
  for (int number = 1; file && std::getline(file, line); ++number) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    Entry entry;
    if (!std::getline(fields, entry.station, '\t') || !std::getline(fields, entry.hash, '\t') ||
        !std::getline(fields, entry.issuedAt, '\t') || !std::getline(fields, entry.issuedBy) ||
        !validStation(entry.station) || !isHash(entry.hash))
      return error = path_ + ", line " + std::to_string(number) + ": not a station's token (station, hash, time, by)", false;
    entries.push_back(entry);
  }
  entries_ = std::move(entries);
  readVersion_ = version;
  return true;
}

void StationTokens::readIfChanged() {
  if (versionOf(path_) == readVersion_) return;
  std::string error;
  read(error);  // a file being replaced is read at the next request; what was read stays until then
}

std::string StationTokens::issue(const std::string& station, const std::string& by, std::string& error) {
  if (!validStation(station)) return error = "A station's name is its host name: 1 to 64 letters, digits and . - _.", "";
  unsigned char random[kTokenBytes];
  randombytes_buf(random, sizeof random);
  char text[sodium_base64_ENCODED_LEN(kTokenBytes, sodium_base64_VARIANT_URLSAFE_NO_PADDING)];
  sodium_bin2base64(text, sizeof text, random, sizeof random, sodium_base64_VARIANT_URLSAFE_NO_PADDING);
  const std::string token = kTokenPrefix + std::string(text);
  std::lock_guard lock(mutex_);
  readIfChanged();
  const std::vector<Entry> before = entries_;
  std::erase_if(entries_, [&](const Entry& e) { return sameStation(e.station, station); });
  entries_.push_back({station, hashOf(token), historyclock::isoUtcNow(), by});
  if (save(error)) return token;
  entries_ = before;
  return "";
}

bool StationTokens::revoke(const std::string& station, std::string& error) {
  std::lock_guard lock(mutex_);
  readIfChanged();
  const std::vector<Entry> before = entries_;
  if (std::erase_if(entries_, [&](const Entry& e) { return sameStation(e.station, station); }) == 0)
    return error = "No token was issued to the station " + station + ".", false;
  if (save(error)) return true;
  entries_ = before;
  return false;
}

std::optional<std::string> StationTokens::stationOf(const std::string& token) {
  if (token.rfind(kTokenPrefix, 0) != 0 || token.size() > 128) return std::nullopt;
  const std::string hash = hashOf(token);
  std::lock_guard lock(mutex_);
  readIfChanged();
  for (const Entry& entry : entries_)
    if (sodium_memcmp(entry.hash.data(), hash.data(), hash.size()) == 0) return entry.station;
  return std::nullopt;
}

std::vector<StationTokens::Entry> StationTokens::list() {
  std::lock_guard lock(mutex_);
  readIfChanged();
  return entries_;
}

bool StationTokens::save(std::string& error) {
  std::string text;
  for (const Entry& e : entries_) text += e.station + "\t" + e.hash + "\t" + e.issuedAt + "\t" + e.issuedBy + "\n";
  if (!replacedfile::write(path_, text, error)) return error = "Cannot write the stations' tokens " + path_ + ": " + error, false;
  readVersion_ = versionOf(path_);
  return true;
}
