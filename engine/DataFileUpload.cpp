#include "DataFileUpload.h"

#include <cstdlib>
#include <cstring>

#include "CommandChannel.h"
#include "DirectUpload.h"
#include "FirmwareImageSet.h"
#include "LoadWorker.h"
#include "PathText.h"
#include "ReceiverLanguage.h"

namespace {

constexpr std::size_t kMaxNameCharacters = 30;
constexpr uint8_t kGeMo[4] = {0x47, 0x65, 0x4D, 0x6F};

// Length of the UTF-8 sequence starting at s[i] (1 for a byte that starts none).
std::size_t sequenceLength(const std::string& s, std::size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
  if (i + n > s.size()) return 1;
  for (std::size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
  return n;
}

}  // namespace

std::string receiverFileName(const std::string& path, bool isGeMo) {
  const auto cut = pathtext::lastSeparator(path);
  const std::string base = cut == std::string::npos ? path : path.substr(cut + 1);
  std::string name = isGeMo ? "." : "";
  std::size_t characters = 0;
  for (std::size_t i = 0; i < base.size() && characters < kMaxNameCharacters; ++characters) {
    const std::size_t n = sequenceLength(base, i);
    const unsigned char c = static_cast<unsigned char>(base[i]);
    // One character, one byte: anything outside printable ASCII (control bytes, non-ASCII) is ".".
    const bool plain = n == 1 && c > 0x20 && c < 0x7F && !std::strchr(",{}()@&\"/\\", c);
    name += plain ? static_cast<char>(c) : '.';
    i += n;
  }
  return name;
}

void dataFileRun(LoadWorker& w, FirmwareImageSet& images, RunState& rs) {
  FirmwareImage& img = images.at(0);
  img.rewind();
  uint8_t head[4] = {};
  const bool isGeMo = img.read(head, 4) == 4 && std::memcmp(head, kGeMo, 4) == 0;
  img.rewind();
  const std::string name = receiverFileName(img.path, isGeMo);
  img.title = name;
  uploadFile(w, rs, name, img);
  if (!rs.ok && !rs.abortReported) w.reportImage(img.path, rs);
  if (!rs.ok) return;
  std::string tag, body;
  w.channel->Query(CMNC::lang::sizeQuery(name), tag, body);
  char* end = nullptr;
  const unsigned long long size = std::strtoull(body.c_str(), &end, 10);
  const bool isNumber = !body.empty() && end != body.c_str();
  if (isNumber && size == img.size()) {
    rs.ok = true;
    w.events.imageDone(img.path, ImageResult::Stored);
  } else {
    rs.fail(FailureKind::RefusedByReceiver, "Uploaded file has wrong size!\n");
    w.reportImage(img.path, rs);
  }
}
