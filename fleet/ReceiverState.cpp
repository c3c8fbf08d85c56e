#include "ReceiverState.h"

#include <sys/wait.h>

#include <csignal>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "JsonValue.h"
#include "PortNames.h"

namespace {

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// The text without its line ends and surrounding blanks.
std::string trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \r\n\t");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \r\n\t") - first + 1);
}

// The value after "Receiver model: " in a log text, or "".
std::string fieldOf(const std::string& text, const char* label) {
  const std::size_t at = text.find(label);
  if (at == std::string::npos) return "";
  const std::size_t from = at + std::strlen(label);
  return trimmed(text.substr(from, text.find('\n', from) - from));
}

// A log line that says what went wrong ("Send file error. Send: 41%.", "Can't open ...").
bool isErrorLine(const std::string& line) {
  std::string l;
  for (unsigned char c : line) l += static_cast<char>(std::tolower(c));
  if (l.size() < 8) return false;  // a bare "TIMEOUT" is followed by what it broke
  for (const char* word : {"error", "can't", "cannot", "failed", "not found", "refused", "denied", "did not", "no answer"})
    if (l.find(word) != std::string::npos) return true;
  return false;
}

// The texts vestrel ends every abort with: they say that, not why.
bool isGenericEnd(const std::string& reason) {
  return reason.empty() || reason == "The process aborted." || reason == "The firmware loading was aborted.";
}

}  // namespace

ReceiverState::ReceiverState(std::string port, std::string logPath) : port_(std::move(port)), logPath_(std::move(logPath)) {}

std::string ReceiverState::shownPort() const { return portnames::shownName(port_); }

void ReceiverState::started(Clock::time_point at) {
  start_ = at;
  setStage(Stage::Starting);
}

void ReceiverState::startFailed(const std::string& reason, Clock::time_point at) {
  start_ = end_ = at;
  reason_ = reason;
  setStage(Stage::Failed);
}

bool ReceiverState::setStage(Stage stage, const std::string& image) {
  if (stage_ == stage && image_ == image) return false;
  stage_ = stage;
  image_ = image;
  return true;
}

bool ReceiverState::applyLine(const std::string& line) {
  const std::optional<JsonValue> event = parseJson(line);
  return event && event->type == JsonValue::Type::Object && applyEvent(*event);
}

bool ReceiverState::applyEvent(const JsonValue& event) {
  if (ended()) return false;
  const std::string kind = event.string("event");
  const std::string text = event.string("text");
  if (kind == "status") return statusText(text);
  if (kind == "log") {
    logText(text);
    if (stage_ == Stage::Starting && (startsWith(text, "Opening ") || startsWith(text, "Quering receiver parameters")))
      return setStage(Stage::Testing);
    return false;
  }
  if (kind == "progress") {
    // Whatever a child prints: a number out of range or not finite is clamped, never converted.
    const double percent = event.num("percent", percent_);
    if (std::isfinite(percent)) percent_ = static_cast<int>(std::clamp(percent, 0.0, 100.0));
    const double rate = event.num("rate", rate_);
    if (std::isfinite(rate)) rate_ = std::max(rate, 0.0);
    return false;
  }
  if (kind == "receiver") serial_ = event.string("identity", serial_);
  if (kind == "result") result(event);
  return false;  // the stage of a result is decided when the child has ended
}

bool ReceiverState::statusText(const std::string& raw) {
  const std::string text = trimmed(raw);
  if (text == "Capturing..." || text == "Turn your receiver on.") return setStage(Stage::Capturing);
  if (startsWith(text, "Loading ") && text.size() > 11 && text.compare(text.size() - 3, 3, "...") == 0) {
    percent_ = -1;
    return setStage(Stage::Loading, text.substr(8, text.size() - 11));
  }
  if (text == "Command the receiver to flash the firmware...") return setStage(Stage::Loading, image_);
  if (text == "Waiting for the receiver reboot..." || startsWith(text, "Disconnected from the receiver") ||
      text == "Trying to reconnect...")
    return setStage(Stage::Rebooting);
  return false;
}

void ReceiverState::logText(const std::string& text) {
  if (const std::string model = fieldOf(text, "Receiver model:"); !model.empty()) model_ = model;
  if (const std::string id = fieldOf(text, "Receiver ID:"); !id.empty()) serial_ = id;
  if (const std::string before = fieldOf(text, "Main  firmware:"); !before.empty() && before_.empty()) before_ = before;
  if (!trimmed(text).empty()) lastLog_ = trimmed(text);
  std::size_t from = 0;
  while (firstError_.empty() && from < text.size()) {
    const std::size_t end = std::min(text.find('\n', from), text.size());
    const std::string line = trimmed(text.substr(from, end - from));
    if (isErrorLine(line)) {
      firstError_ = line;
      failedWhile_ = stage_ >= Stage::Capturing ? stageText() : "";
    }
    from = end + 1;
  }
}

void ReceiverState::result(const JsonValue& event) {
  resultSeen_ = true;
  success_ = event.flag("success");
  reason_ = event.string("reason");
  if (const JsonValue* fw = event.find("firmware"); fw && fw->type == JsonValue::Type::Object) {
    before_ = fw->string("before", before_);
    after_ = fw->string("after", after_);
  }
}

void ReceiverState::childEnded(int waitStatus, const std::string& lastErrorLine, Clock::time_point at) {
  end_ = at;
  exitStatus_ = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
  // Loaded only when the child said so and exited 0: a crash after the result is no success.
  if (resultSeen_ && success_ && exitStatus_ == 0) {
    setStage(Stage::Done);
    return;
  }
  if (WIFSIGNALED(waitStatus)) {
    reason_ = std::string("vestrel was killed by signal ") + std::to_string(WTERMSIG(waitStatus)) + " (" +
              strsignal(WTERMSIG(waitStatus)) + ")" + (stage_ >= Stage::Capturing ? " while " + stageText() : "");
  } else if (isGenericEnd(reason_) && !firstError_.empty()) {
    reason_ = firstError_ + (failedWhile_.empty() ? "" : " (" + failedWhile_ + ")");
  } else if (!resultSeen_ || reason_.empty()) {
    reason_ = !lastErrorLine.empty() ? lastErrorLine
              : !lastLog_.empty()    ? lastLog_
                                     : "vestrel exited with status " + std::to_string(exitStatus_) + " without a result";
  }
  setStage(Stage::Failed);
}

std::string ReceiverState::stageText() const {
  switch (stage_) {
    case Stage::Queued: return "queued";
    case Stage::Starting: return "starting";
    case Stage::Testing: return "testing";
    case Stage::Capturing: return "capturing";
    case Stage::Loading: return image_.empty() ? "loading" : "loading " + image_;
    case Stage::Rebooting: return "waiting for the reboot";
    case Stage::Done: return "done";
    case Stage::Failed: return "failed";
  }
  return "";
}

double ReceiverState::seconds() const {
  if (start_ == Clock::time_point{}) return 0;
  const Clock::time_point to = end_ == Clock::time_point{} ? Clock::now() : end_;
  return std::chrono::duration<double>(to - start_).count();
}
