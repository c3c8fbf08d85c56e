// The command language of the virtual receiver's running firmware.
#include <cstdlib>

#include "VirtualReceiver.h"

namespace {

bool startsWith(const std::string& s, const std::string& head) { return s.compare(0, head.size(), head) == 0; }

// "NAME:{T,B}" → NAME and B.
bool splitTransfer(const std::string& text, std::string& name, int& blockSize) {
  const auto colon = text.find(":{");
  if (colon == std::string::npos || text.back() != '}') return false;
  name = text.substr(0, colon);
  const std::string args = text.substr(colon + 2, text.size() - colon - 3);
  const auto comma = args.find(',');
  if (comma == std::string::npos) return false;
  blockSize = std::atoi(args.c_str() + comma + 1);
  return blockSize > 0;
}

}  // namespace

void VirtualReceiver::command(const std::string& raw) {
  std::string line = raw;
  while (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.empty() || line[0] == '#') return;
  commands_.push_back(line);
  std::string tag, cmd = line;
  bool tagged = false;
  if (line[0] == '%') {
    const auto end = line.find('%', 1);
    if (end == std::string::npos) return;
    tag = line.substr(1, end - 1);
    cmd = line.substr(end + 1);
    tagged = true;
  }
  auto answer = [&](const std::string& body, bool error = false) {
    if (tagged) reply(tag, body, error);
    else if (!body.empty()) sendText(body + "\r\n");
  };

  if (cmd.empty() || cmd == "dm") {
    if (tagged) reply(tag, "");
  } else if (startsWith(cmd, "print,")) {
    bool known = true;
    const std::string what = cmd.substr(6);
    if (what == "/par/rcv/ver/main" && !flashed_.empty() && config_.faults.silentVersionAfterFlash) return;
    const std::string body = print(what, known);
    answer(known ? body : "unknown parameter", !known);
  } else if (cmd == "set,reset,yes") {
    ++resets_;
    restart();
  } else if (startsWith(cmd, "set,")) {
    setValue(tag, cmd.substr(4));
    if (tagged) reply(tag, "");
    if (pendingRate_ > 0) {
      rate_ = pendingRate_;  // the new rate applies after the answer went out
      pendingRate_ = 0;
    }
  } else if (startsWith(cmd, "remove,/log/")) {
    files_.erase(cmd.substr(7));
    answer("");
  } else if (startsWith(cmd, "put,/log/")) {
    std::string name;
    int blockSize = 0;
    if (!splitTransfer(cmd.substr(9), name, blockSize)) {
      answer("bad arguments", true);
    } else if (config_.faults.refusePut) {
      answer("file system error", true);
    } else {
      answer("");
      startDtp(blockSize, DtpPurpose::Put, name);
    }
  } else if (startsWith(cmd, "fld,")) {
    const std::string rest = cmd.substr(4);
    const auto comma = rest.find(',');
    const std::string id = rest.substr(0, comma);
    const std::string target = comma == std::string::npos ? "" : rest.substr(comma + 1);
    std::string name;
    int blockSize = 0;
    if (id != config_.identity) {
      answer("wrong receiver id", true);
    } else if (startsWith(target, "/cur/term:{") && splitTransfer(target, name, blockSize)) {
      answer("");
      startDtp(blockSize, DtpPurpose::Stream, "");
    } else if (files_.count(target) == 0) {
      answer("no such file " + target, true);
    } else if (!config_.faults.fldErrorBody.empty()) {
      answer(config_.faults.fldErrorBody);
    } else {
      answer("");
      flashed_.push_back({"fld", files_[target], 0, target});
      rebootAfterFld();
    }
  } else if (tagged) {
    reply(tag, "unknown command", true);
  }
}

std::string VirtualReceiver::print(const std::string& what, bool& known) {
  known = true;
  if (what == "/cur/term")
    return activeLink_ == Link::Tcp ? (config_.socketIsUsb ? "/dev/usb/a" : "/dev/tcp/a") : config_.serialPortName;
  if (what == "/par/rcv/model") return config_.model;
  if (what == "/par/rcv/ver/board") return config_.board;
  if (what == "/par/rcv/mem") return config_.memory;
  if (what == "/par/rcv/ver/main") return flashed_.empty() ? config_.mainVersion : config_.versionAfterFlash;
  if (what == "/par/cur/term/rate") return std::to_string(rate_);
  if (what == "/par/pwr/slots") return config_.powerSlots;
  if (what == "/par/rcv/id") return config_.identity;
  if (what == "/par/rcv/ver/hw") return std::to_string(config_.faults.hardwareVersion);
  if (what == "/par/dev/blk/a/removed") return diskRemoved_ ? "on" : "off";
  if (what == "/par/stat/fsinit") {
    if (config_.faults.fsNeverReadyAfterFlash && !flashed_.empty()) return "{0," + std::to_string(config_.fsInitSteps) + "}";
    if (fsInitCount_ < config_.fsInitSteps) ++fsInitCount_;
    std::string steps = "{";
    steps += std::to_string(fsInitCount_);
    steps += ',';
    steps += std::to_string(config_.fsInitSteps);
    return steps + "}";
  }
  const std::string sizeSuffix = "&size";
  if (what.size() > sizeSuffix.size() && what.compare(what.size() - sizeSuffix.size(), sizeSuffix.size(), sizeSuffix) == 0) {
    const auto it = files_.find(what.substr(0, what.size() - sizeSuffix.size()));
    if (it != files_.end()) {
      const long long size = static_cast<long long>(it->second.size()) - config_.faults.sizeShortBy;
      return std::to_string(size);
    }
  }
  known = false;
  return {};
}

void VirtualReceiver::setValue(const std::string& /*tag*/, const std::string& args) {
  const auto comma = args.rfind(',');
  if (comma == std::string::npos) return;
  const std::string name = args.substr(0, comma), value = args.substr(comma + 1);
  if (name == "/par/cur/term/rate") {
    const int rate = std::atoi(value.c_str());
    if (rate > 0) pendingRate_ = rate;
  } else if (name == "/par/dev/blk/a/removed") {
    diskRemoved_ = value == "on";
    fsInitCount_ = 0;
  } else if (name == "/par/pwr/slots") {
    config_.powerSlots = value;
  }
}
