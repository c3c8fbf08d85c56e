#include "ReceiverState.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "JsonValue.h"
#include "PortNames.h"

namespace {

// The child's exit statuses for the two ends of a load.
constexpr int kExitLoaded = 0;
constexpr int kExitUnconfirmed = 3;

// A result's stage worth naming beside its reason: one of the load's own.
bool namesALoadStage(const std::string& stage) {
  return stage == "capturing" || stage == "loading" || stage == "flashing" || stage == "rebooting" ||
         stage == "confirming";
}

}  // namespace

ReceiverState::ReceiverState(std::string port, std::string logPath) : port_(std::move(port)), logPath_(std::move(logPath)) {}

std::string ReceiverState::shownPort() const { return portnames::shownName(port_); }

void ReceiverState::started(Clock::time_point at, int attempt) {
  if (attempt == 1) start_ = at;
  attempts_ = attempt;
  end_ = {};
  resultSeen_ = false;
  reason_.clear();
  outcome_.clear();
  resultStage_.clear();
  resultPort_.clear();
  percent_ = -1;
  secondsLeft_ = -1;
  exitStatus_ = -1;
  setStage(Stage::Starting);
}

void ReceiverState::startFailed(const std::string& reason, Clock::time_point at) {
  start_ = end_ = at;
  reason_ = reason;
  outcome_ = "refused";
  setStage(Stage::Failed);
}

void ReceiverState::foundCurrent(const std::string& model, const std::string& identity, const std::string& firmware,
                                 Clock::time_point at) {
  start_ = end_ = at;
  model_ = model;
  serial_ = identity;
  before_ = after_ = firmware;
  reason_ = "already runs " + firmware;
  setStage(Stage::Current);
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
  if (kind == "stage") return stageEvent(event);
  if (kind == "progress") {
    // Whatever a child prints: a number out of range or not finite is clamped, never converted.
    const double percent = event.num("percent", percent_);
    if (std::isfinite(percent)) percent_ = static_cast<int>(std::clamp(percent, 0.0, 100.0));
    const double rate = event.num("rate", rate_);
    if (std::isfinite(rate)) rate_ = std::max(rate, 0.0);
    const double left = event.num("eta_s", -1);  // null (not known yet) reads as -1
    secondsLeft_ = std::isfinite(left) && left >= 0 ? static_cast<int>(std::min(left, 1e7)) : -1;
    return false;
  }
  if (kind == "receiver") receiverFacts(event, "identity", "firmware_before");
  if (kind == "result") result(event);
  return false;  // the stage of a result is decided when the child has ended
}

bool ReceiverState::stageEvent(const JsonValue& event) {
  const std::string stage = event.string("stage");
  const std::string image = event.string("image");
  if (stage == "connecting" || stage == "testing") return setStage(Stage::Testing);
  if (stage == "capturing") return setStage(Stage::Capturing, image);
  if (stage == "loading" || stage == "flashing") {
    const Stage next = stage == "loading" ? Stage::Loading : Stage::Flashing;
    if (next == Stage::Loading && (stage_ != Stage::Loading || image_ != image)) percent_ = -1;
    return setStage(next, image);
  }
  if (stage == "rebooting") return setStage(Stage::Rebooting);
  if (stage == "confirming") return setStage(Stage::Confirming);
  return false;  // "done": the result and the child's end decide
}

void ReceiverState::receiverFacts(const JsonValue& facts, const char* identityField, const char* beforeField) {
  model_ = facts.string("model", model_);
  serial_ = facts.string(identityField, serial_);
  before_ = facts.string(beforeField, before_);
}

void ReceiverState::result(const JsonValue& event) {
  resultSeen_ = true;
  reason_ = event.string("reason");
  outcome_ = event.string("outcome");
  resultStage_ = event.string("stage");
  resultPort_ = event.string("port");
  historyId_ = event.string("history_id");
  if (const JsonValue* r = event.find("receiver"); r && r->type == JsonValue::Type::Object) {
    receiverFacts(*r, "id", "firmware_before");
    after_ = r->string("firmware_after", after_);
  }
  if (const JsonValue* fw = event.find("firmware"); fw && fw->type == JsonValue::Type::Object) {
    before_ = fw->string("before", before_);
    after_ = fw->string("after", after_);
  }
}

bool ReceiverState::resultNamesThisPort() const {
  return !resultPort_.empty() && portnames::samePort(resultPort_, port_);
}

void ReceiverState::childEnded(const ChildExit& exit, const std::string& lastErrorLine, Clock::time_point at) {
  end_ = at;
  exitStatus_ = exit.status;
  const std::string whileStage = namesALoadStage(resultStage_) ? " (while " + resultStage_ + ")" : "";
  if (resultSeen_ && !resultNamesThisPort()) {
    reason_ = "vestrel reported a load of " + (resultPort_.empty() ? std::string("no port") : resultPort_) +
              ", not of " + shownPort();
    outcome_ = "failed";
  } else if (resultSeen_ && outcome_ == "confirmed" && exitStatus_ == kExitLoaded) {
    setStage(Stage::Done);
    return;
  } else if (resultSeen_ && outcome_ == "unconfirmed" && exitStatus_ == kExitUnconfirmed) {
    setStage(Stage::Unconfirmed);
    return;
  } else if (exit.signal) {
    reason_ = std::string("vestrel was killed by signal ") + std::to_string(exit.signal) + " (" + exit.signalName + ")" +
              (stage_ >= Stage::Capturing ? " while " + stageText() : "");
    outcome_ = "failed";
  } else if (!resultSeen_ || reason_.empty()) {
    reason_ = !lastErrorLine.empty() ? lastErrorLine
                                     : "vestrel exited with status " + std::to_string(exitStatus_) + " without a result";
    if (!resultSeen_ || outcome_.empty() || outcome_ == "confirmed" || outcome_ == "unconfirmed") outcome_ = "failed";
  } else {
    reason_ += whileStage;
    if (outcome_.empty() || outcome_ == "confirmed" || outcome_ == "unconfirmed") outcome_ = "failed";
  }
  setStage(Stage::Failed);
}

std::string ReceiverState::outcome() const {
  if (stage_ == Stage::Done) return "confirmed";
  if (stage_ == Stage::Unconfirmed) return "unconfirmed";
  if (stage_ == Stage::Current) return "current";
  if (stage_ == Stage::Failed) return outcome_.empty() ? "failed" : outcome_;
  return "";
}

std::string ReceiverState::stageText() const {
  const auto withImage = [this](const char* stage) { return image_.empty() ? std::string(stage) : stage + (" " + image_); };
  switch (stage_) {
    case Stage::Queued: return "queued";
    case Stage::Starting: return attempts_ > 1 ? "starting attempt " + std::to_string(attempts_) : "starting";
    case Stage::Testing: return "testing";
    case Stage::Capturing: return "capturing";
    case Stage::Loading: return withImage("loading");
    case Stage::Flashing: return withImage("flashing");
    case Stage::Rebooting: return "waiting for the reboot";
    case Stage::Confirming: return "confirming";
    case Stage::Done: return "done";
    case Stage::Unconfirmed: return "unconfirmed";
    case Stage::Current: return "current";
    case Stage::Failed: return "failed";
  }
  return "";
}

double ReceiverState::seconds() const {
  if (start_ == Clock::time_point{}) return 0;
  const Clock::time_point to = end_ == Clock::time_point{} ? Clock::now() : end_;
  return std::chrono::duration<double>(to - start_).count();
}
