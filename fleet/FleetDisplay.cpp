#include "FleetDisplay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "FailureKind.h"
#include "JsonEvents.h"
#include "OutcomeKind.h"
#include "TextTable.h"

namespace {

using texttable::cell;
using texttable::columns;
using texttable::cellOrDash;

std::string fixed(double value, int decimals) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

// The result column: what the summary calls each end.
std::string resultText(const ReceiverState& r) {
  if (r.loaded()) return "loaded";
  if (r.unconfirmed()) return "UNCONFIRMED";
  if (r.current()) return "current";
  return "FAILED";
}

// The reason column: the kind of failure in words, then the reason.
std::string reasonText(const ReceiverState& r) {
  const std::optional<FailureKind> kind = failureKindNamed(r.failureKind());
  return kind ? std::string(failureKindWords(*kind)) + ": " + r.reason() : r.reason();
}

}  // namespace

std::string FleetDisplay::leftText(int seconds) {
  if (seconds < 0) return "";
  return seconds >= 90 ? std::to_string((seconds + 30) / 60) + " min" : std::to_string(seconds) + " s";
}

std::string FleetDisplay::rateText(double bytesPerSecond) {
  if (bytesPerSecond <= 0) return "";
  return fixed(bytesPerSecond / 1024, 1) + " KiB/s";  // the unit every display of a run uses
}

void FleetDisplay::stageChanged(const ReceiverState& r) {
  if (live_) return;
  out_ << cell(r.shownPort()) << ": " << cell(r.stageText());
  if ((r.stage() == Stage::Failed || r.unconfirmed()) && !r.reason().empty()) out_ << ": " << cell(r.reason());
  out_ << "\n" << std::flush;
}

void FleetDisplay::refresh(const std::vector<ReceiverState>& receivers) {
  if (!live_) return;
  std::vector<std::vector<std::string>> rows{{"PORT", "MODEL", "SERIAL", "STAGE", "%", "RATE", "LEFT"}};
  for (const ReceiverState& r : receivers)
    rows.push_back({cell(r.shownPort()), cellOrDash(r.model()), cellOrDash(r.serial()), cell(r.stageText()),
                    r.percent() < 0 ? "" : std::to_string(r.percent()), rateText(r.rate()),
                    r.ended() ? "" : leftText(r.secondsLeft())});
  std::string text;
  if (drawnLines_ > 0) text += "\x1b[" + std::to_string(drawnLines_) + "A";  // back to the table's top
  std::istringstream lines(columns(rows));
  for (std::string line; std::getline(lines, line);) text += "\r\x1b[2K" + line + "\n";
  drawnLines_ = rows.size();
  out_ << text << std::flush;
}

std::string FleetDisplay::summaryText(const std::vector<ReceiverState>& receivers, bool allowUnconfirmed) {
  std::vector<std::vector<std::string>> rows{
      {"PORT", "RECEIVER", "RESULT", "IMAGES", "BEFORE", "AFTER", "TIME", "HISTORY ID", "REASON"}};
  int loaded = 0, unconfirmed = 0, current = 0;
  for (const ReceiverState& r : receivers) {
    loaded += r.loaded() ? 1 : 0;
    unconfirmed += r.unconfirmed() ? 1 : 0;
    current += r.current() ? 1 : 0;
    rows.push_back({cell(r.shownPort()), cellOrDash(r.receiverId()), resultText(r), cellOrDash(r.imagesText()), cellOrDash(r.firmwareBefore()),
                    cellOrDash(r.firmwareAfter()), fixed(r.seconds(), 1) + " s", cellOrDash(r.historyId()),
                    r.loaded() || r.current() ? "" : cell(reasonText(r))});
  }
  std::string total = std::to_string(allowUnconfirmed ? loaded + unconfirmed : loaded) + " of " +
                      std::to_string(receivers.size()) + " receivers loaded";
  if (unconfirmed > 0)
    total += std::string("; ") + std::to_string(unconfirmed) + " did not confirm the load" +
             (allowUnconfirmed ? " (counted as loaded)" : "");
  if (current > 0) total += "; " + std::to_string(current) + " already current";
  return columns(rows) + total + ".\n";
}

std::string FleetDisplay::summaryJson(const std::vector<ReceiverState>& receivers, int exitStatus,
                                      ReceiverState::Clock::time_point fleetStart, bool allowUnconfirmed) {
  using jsonevents::Json;
  using jsonevents::textOrNull;
  const auto since = [fleetStart](ReceiverState::Clock::time_point t) {
    return std::round(std::chrono::duration<double>(t - fleetStart).count() * 1000.0) / 1000.0;
  };
  Json list = Json::array();
  // Each receiver counts once, as what it is: a receiver left alone is neither loaded nor failed.
  int loaded = 0, current = 0, unconfirmed = 0, aborted = 0, failed = 0;
  for (const ReceiverState& r : receivers) {
    const bool counted = r.loaded() || (allowUnconfirmed && r.unconfirmed());
    if (counted) ++loaded;
    else if (r.current()) ++current;
    else if (r.unconfirmed()) ++unconfirmed;
    else if (r.outcome() == outcomeName(OutcomeKind::Aborted)) ++aborted;
    else ++failed;
    // A receiver whose vestrel never ran has no log, no exit status and no times.
    const bool ran = r.attempts() > 0;
    list.push_back({{"port", r.shownPort()},
                    {"log", ran ? Json(r.logPath()) : Json(nullptr)},
                    {"model", textOrNull(r.model())},
                    {"serial", textOrNull(r.serial())},
                    {"receiver_id", textOrNull(r.receiverId())},
                    {"listed_id", textOrNull(r.listedId())},
                    {"work_order", textOrNull(r.workOrder())},
                    {"loaded", counted},
                    {"outcome", r.outcome()},
                    {"exit_status", r.exitStatus() >= 0 ? Json(r.exitStatus()) : Json(nullptr)},
                    {"attempts", r.attempts()},
                    {"reason", r.reason()},
                    {"images", textOrNull(r.imagesText())},
                    {"failure", r.failureKind().empty() ? Json(nullptr)
                                                        : Json{{"kind", r.failureKind()}, {"remedy", r.remedy()}}},
                    {"firmware", {{"before", textOrNull(r.firmwareBefore())}, {"after", textOrNull(r.firmwareAfter())}}},
                    {"seconds", std::round(r.seconds() * 1000.0) / 1000.0},
                    {"started", ran ? Json(since(r.startTime())) : Json(nullptr)},
                    {"ended", ran ? Json(since(r.endTime())) : Json(nullptr)},
                    {"history_id", textOrNull(r.historyId())}});
  }
  const Json summary = {{"receivers", std::move(list)}, {"loaded", loaded},   {"current", current},
                        {"unconfirmed", unconfirmed},   {"aborted", aborted}, {"failed", failed},
                        {"exit_status", exitStatus}};
  return jsonevents::line(summary);
}
