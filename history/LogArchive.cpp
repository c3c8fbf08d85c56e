#include "LogArchive.h"

#include <zlib.h>

#include <fstream>

#include "PathText.h"

namespace logarchive {
namespace {

void mask(std::string& text, const std::vector<std::string>& secrets) {
  for (const std::string& secret : secrets) {
    if (secret.empty()) continue;
    for (std::size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 8))
      text.replace(at, secret.size(), "********");
  }
}

// Keeps the head and the tail, each cut at a line's end where one is near.
std::string cutMiddle(const std::string& text, std::size_t fileBytes) {
  std::size_t head = text.rfind('\n', kHeadBytes);
  head = head == std::string::npos ? kHeadBytes : head + 1;
  const std::string note = "\r\n[... " + std::to_string(fileBytes) + " bytes in the log on the station; " +
                           "the middle is left out here ...]\r\n";
  const std::size_t tailRoom = kMaxTextBytes - head - note.size();
  std::size_t tail = text.size() - tailRoom;
  if (const std::size_t line = text.find('\n', tail); line != std::string::npos && line + 1 < text.size()) tail = line + 1;
  return text.substr(0, head) + note + text.substr(tail);
}

StoredLog packText(std::string text, std::size_t fileBytes, const std::vector<std::string>& secrets) {
  StoredLog log;
  log.fileBytes = static_cast<int64_t>(fileBytes);
  mask(text, secrets);
  if (text.size() > kMaxTextBytes) {
    text = cutMiddle(text, fileBytes);
    log.cut = true;
  }
  log.textBytes = static_cast<int64_t>(text.size());
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  std::string packed(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
                static_cast<uLong>(text.size()), Z_BEST_COMPRESSION) != Z_OK)
    return {};
  packed.resize(size);
  log.packed = std::move(packed);
  return log;
}

std::string readAt(std::ifstream& file, std::streamoff at, std::size_t bytes) {
  std::string text(bytes, '\0');
  file.seekg(at);
  file.read(text.data(), static_cast<std::streamsize>(bytes));
  text.resize(static_cast<std::size_t>(file.gcount()));
  return text;
}

}  // namespace

StoredLog pack(std::string text, const std::vector<std::string>& secrets) {
  const std::size_t bytes = text.size();
  return packText(std::move(text), bytes, secrets);
}

StoredLog packFile(const std::string& path, const std::vector<std::string>& secrets) {
  if (path.empty()) return {};
  std::ifstream file(pathtext::fromUtf8(path), std::ios::binary | std::ios::ate);
  if (!file) return {};
  const std::streamoff size = file.tellg();
  if (size < 0) return {};
  const auto bytes = static_cast<std::size_t>(size);
  if (bytes <= kMaxFileBytes) return packText(readAt(file, 0, bytes), bytes, secrets);
  // A huge log: only what the cut keeps is read.
  std::string text = readAt(file, 0, kHeadBytes) + readAt(file, size - static_cast<std::streamoff>(kMaxTextBytes), kMaxTextBytes);
  return packText(std::move(text), bytes, secrets);
}

bool unpack(const StoredLog& log, std::string& text, std::string& error) {
  if (log.textBytes < 0 || static_cast<std::size_t>(log.textBytes) > kMaxTextBytes) {
    error = "the stored log says it holds " + std::to_string(log.textBytes) + " bytes, more than a log may";
    return false;
  }
  text.assign(static_cast<std::size_t>(log.textBytes), '\0');
  uLongf size = static_cast<uLongf>(text.size());
  const int status = uncompress(reinterpret_cast<Bytef*>(text.data()), &size,
                                reinterpret_cast<const Bytef*>(log.packed.data()), static_cast<uLong>(log.packed.size()));
  if (status != Z_OK || size != text.size()) {
    error = "the stored log is damaged (zlib: " + std::to_string(status) + ")";
    text.clear();
    return false;
  }
  return true;
}

}  // namespace logarchive
