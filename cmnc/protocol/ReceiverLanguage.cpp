#include "ReceiverLanguage.h"

namespace CMNC::lang {

std::string setRateCommand(int rate) { return "set,/par/cur/term/rate," + std::to_string(rate) + "\n"; }

std::string removeCommand(const std::string& name) { return "%remove%remove,/log/" + name + "\n"; }

std::string putCommand(const std::string& name, int putTimeout, int blockSize) {
  return "%put%put,/log/" + name + ":{" + std::to_string(putTimeout) + "," + std::to_string(blockSize) + "}\n";
}

std::string storedFlashCommand(const std::string& identity) {
  return "%fld%fld," + identity + ",/log/" + kFirmwareFile + "\n";
}

std::string streamFlashCommand(const std::string& identity, int putTimeout, int blockSize) {
  return "%fld%fld," + identity + ",/cur/term:{" + std::to_string(putTimeout) + "," + std::to_string(blockSize) + "}\n";
}

std::string sizeQuery(const std::string& name) { return "%SizeFileName%print,/log/" + name + "&size\n"; }

std::string syncCommand(const std::string& counter) { return "%" + counter + "%\r\n"; }

bool ParseReply(const std::string& reply, std::string& tag, std::string& body) {
  tag.clear();
  body = reply;
  if (reply.size() < 2 || (reply.compare(0, 2, "RE") != 0 && reply.compare(0, 2, "ER") != 0)) return false;
  const auto first = reply.find('%');
  if (first == std::string::npos) return false;
  const auto second = reply.find('%', first + 1);
  if (second == std::string::npos) return false;
  tag = reply.substr(first + 1, second - first - 1);
  body = reply.substr(second + 1);
  const auto end = body.find_first_of("\r\n");
  if (end != std::string::npos) body.resize(end);
  return true;
}

bool IsLoginGreeting(const std::string& tag) {
  const std::string greeting = kLoginGreeting;
  return tag.size() == greeting.size() + 1 && tag.compare(0, greeting.size(), greeting) == 0;
}

bool IsProbeAnswer(const std::string& bytes) {
  if (bytes.empty()) return false;
  const std::string tail = bytes.size() > kProbeAnswerLength ? bytes.substr(bytes.size() - kProbeAnswerLength) : bytes;
  std::string tag, body;
  return ParseReply(tail, tag, body) && tag == kProbeTag && body.empty();
}

std::string TrimBlanks(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

bool FsInitAccepted(const std::string& tag, const std::string& body) {
  if (tag != kFsInitTag || body.size() <= 3 || body.front() != '{' || body.back() != '}') return false;
  const auto comma = body.find(',');
  if (comma == std::string::npos) return false;
  const std::string done = TrimBlanks(body.substr(1, comma - 1));
  const std::string total = TrimBlanks(body.substr(comma + 1, body.size() - comma - 2));
  return done == total;
}

}  // namespace CMNC::lang
