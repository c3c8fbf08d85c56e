#include "ReceiverState.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ExitStatus.h"
#include "FailureKind.h"
#include "JsonEvents.h"
#include "LoadStage.h"
#include "OutcomeKind.h"
#include "PortNames.h"

namespace {

using jsonevents::Json;

// A result's stage worth naming beside its reason: one of the load's own.
bool namesALoadStage(const std::string& stage) {
  const std::optional<LoadStage> s = stageNamed(stage);
  return s && *s != LoadStage::Connecting && *s != LoadStage::Testing && *s != LoadStage::Done;
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
  outcome_ = outcomeName(OutcomeKind::Refused);
  setStage(Stage::Failed);
}

void ReceiverState::refused(const std::string& model, const std::string& identity, const std::string& reason,
                            Clock::time_point at) {
  model_ = model;
  serial_ = identity;
  startFailed(reason, at);
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
  const std::optional<Json> event = jsonevents::read(line);
  return event && applyEvent(*event);
}

bool ReceiverState::applyEvent(const Json& event) {
  if (ended()) return false;
  const std::string kind = jsonevents::text(event, "event");
  if (kind == "stage") return stageEvent(event);
  if (kind == "progress") {
    // Whatever a child prints: a number out of range or not finite is clamped, never converted.
    const double percent = jsonevents::real(event, "percent", percent_);
    if (std::isfinite(percent)) percent_ = static_cast<int>(std::clamp(percent, 0.0, 100.0));
    const double rate = jsonevents::real(event, "rate", rate_);
    if (std::isfinite(rate)) rate_ = std::max(rate, 0.0);
    const double left = jsonevents::real(event, "eta_s", -1);  // null (not known yet) reads as -1
    secondsLeft_ = std::isfinite(left) && left >= 0 ? static_cast<int>(std::min(left, 1e7)) : -1;
    return false;
  }
  if (kind == "receiver") receiverFacts(event, "identity", "firmware_before");
  if (kind == "result") result(event);
  return false;  // the stage of a result is decided when the child has ended
}

bool ReceiverState::stageEvent(const Json& event) {
  const std::optional<LoadStage> stage = stageNamed(jsonevents::text(event, "stage"));
  const std::string image = jsonevents::text(event, "image");
  if (!stage) return false;
  switch (*stage) {
    case LoadStage::Connecting:
    case LoadStage::Testing: return setStage(Stage::Testing);
    case LoadStage::Capturing: return setStage(Stage::Capturing, image);
    case LoadStage::Loading: return setStage(Stage::Loading, image);
    case LoadStage::Flashing: return setStage(Stage::Flashing, image);
    case LoadStage::Rebooting: return setStage(Stage::Rebooting);
    case LoadStage::Confirming: return setStage(Stage::Confirming);
    case LoadStage::Done: return false;  // the result and the child's end decide
  }
  return false;
}

void ReceiverState::receiverFacts(const Json& facts, const char* identityField, const char* beforeField) {
  model_ = jsonevents::text(facts, "model", model_);
  serial_ = jsonevents::text(facts, identityField, serial_);
  before_ = jsonevents::text(facts, beforeField, before_);
}

void ReceiverState::result(const Json& event) {
  resultSeen_ = true;
  reason_ = jsonevents::text(event, "reason");
  outcome_ = jsonevents::text(event, "outcome");
  resultStage_ = jsonevents::text(event, "stage");
  resultPort_ = jsonevents::text(event, "port");
  historyId_ = jsonevents::text(event, "history_id");
  const Json r = jsonevents::object(event, "receiver");
  receiverFacts(r, "id", "firmware_before");
  after_ = jsonevents::text(r, "firmware_after", after_);
  const Json fw = jsonevents::object(event, "firmware");
  before_ = jsonevents::text(fw, "before", before_);
  after_ = jsonevents::text(fw, "after", after_);
  const Json failure = jsonevents::object(event, "failure");
  failureKind_ = jsonevents::text(failure, "kind");
  remedy_ = jsonevents::text(failure, "remedy");
  imagesDone_ = imageCount_ = 0;
  bool stored = false;
  const auto images = event.find("images");
  if (images != event.end() && images->is_array()) {
    for (const Json& image : *images) {
      const std::string result = jsonevents::text(image, "result");
      imagesDone_ += result == imageResultName(ImageResult::Flashed) || result == imageResultName(ImageResult::Stored);
      stored = stored || result == imageResultName(ImageResult::Stored);
      ++imageCount_;
    }
  }
  imagesText_ = imageCount_ == 0 ? "" : imagesDoneText(imagesDone_, imageCount_, stored);
}

bool ReceiverState::resultNamesThisPort() const {
  return !resultPort_.empty() && portnames::samePort(resultPort_, port_);
}

void ReceiverState::childEnded(const ChildExit& exit, const std::string& lastErrorLine, Clock::time_point at) {
  end_ = at;
  exitStatus_ = exit.status;
  const std::string failed = outcomeName(OutcomeKind::Failed), confirmed = outcomeName(OutcomeKind::Confirmed),
                    unconfirmed = outcomeName(OutcomeKind::Unconfirmed);
  const std::string whileStage = namesALoadStage(resultStage_) ? " (while " + resultStage_ + ")" : "";
  if (resultSeen_ && !resultNamesThisPort()) {
    reason_ = "vestrel reported a load of " + (resultPort_.empty() ? std::string("no port") : resultPort_) +
              ", not of " + shownPort();
    outcome_ = failed;
  } else if (resultSeen_ && outcome_ == confirmed && exitStatus_ == exitstatus::kLoaded) {
    setStage(Stage::Done);
    return;
  } else if (resultSeen_ && outcome_ == unconfirmed && exitStatus_ == exitstatus::kUnconfirmed) {
    setStage(Stage::Unconfirmed);
    return;
  } else if (exit.signal) {
    reason_ = std::string("vestrel was killed by signal ") + std::to_string(exit.signal) + " (" + exit.signalName + ")" +
              (stage_ >= Stage::Capturing ? " while " + stageText() : "");
    outcome_ = failed;
  } else if (!resultSeen_ || reason_.empty()) {
    reason_ = !lastErrorLine.empty() ? lastErrorLine
                                     : "vestrel exited with status " + std::to_string(exitStatus_) + " without a result";
    if (!resultSeen_ || !outcomeNamed(outcome_) || outcome_ == confirmed || outcome_ == unconfirmed) outcome_ = failed;
  } else {
    reason_ += whileStage;
    if (!outcomeNamed(outcome_) || outcome_ == confirmed || outcome_ == unconfirmed) outcome_ = failed;
  }
  setStage(Stage::Failed);
}

std::string ReceiverState::outcome() const {
  if (stage_ == Stage::Done) return outcomeName(OutcomeKind::Confirmed);
  if (stage_ == Stage::Unconfirmed) return outcomeName(OutcomeKind::Unconfirmed);
  if (stage_ == Stage::Current) return "current";  // the fleet's own: left alone, never run
  if (stage_ == Stage::Failed) return outcome_.empty() ? outcomeName(OutcomeKind::Failed) : outcome_;
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
