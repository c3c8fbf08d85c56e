#include "FleetDisplay.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "JsonText.h"
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

}  // namespace

std::string FleetDisplay::leftText(int seconds) {
  if (seconds < 0) return "";
  return seconds >= 90 ? std::to_string((seconds + 30) / 60) + " min" : std::to_string(seconds) + " s";
}

std::string FleetDisplay::rateText(double bytesPerSecond) {
  if (bytesPerSecond <= 0) return "";
  if (bytesPerSecond < 1000) return fixed(bytesPerSecond, 0) + " B/s";
  return fixed(bytesPerSecond / 1000, 1) + " kB/s";
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
  std::vector<std::vector<std::string>> rows{{"PORT", "RESULT", "BEFORE", "AFTER", "TIME", "HISTORY ID", "REASON"}};
  int loaded = 0, unconfirmed = 0, current = 0;
  for (const ReceiverState& r : receivers) {
    loaded += r.loaded() ? 1 : 0;
    unconfirmed += r.unconfirmed() ? 1 : 0;
    current += r.current() ? 1 : 0;
    rows.push_back({cell(r.shownPort()), resultText(r), cellOrDash(r.firmwareBefore()), cellOrDash(r.firmwareAfter()),
                    fixed(r.seconds(), 1) + " s", cellOrDash(r.historyId()), r.loaded() || r.current() ? "" : cell(r.reason())});
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
  const auto since = [fleetStart](ReceiverState::Clock::time_point t) {
    return fixed(std::chrono::duration<double>(t - fleetStart).count(), 3);
  };
  std::string text = "{\"receivers\":[";
  // Each receiver counts once, as what it is: a receiver left alone is neither loaded nor failed.
  int loaded = 0, current = 0, unconfirmed = 0, aborted = 0, failed = 0;
  for (std::size_t i = 0; i < receivers.size(); ++i) {
    const ReceiverState& r = receivers[i];
    const bool counted = r.loaded() || (allowUnconfirmed && r.unconfirmed());
    if (counted) ++loaded;
    else if (r.current()) ++current;
    else if (r.unconfirmed()) ++unconfirmed;
    else if (r.outcome() == "aborted") ++aborted;
    else ++failed;
    // A receiver whose vestrel never ran has no log, no exit status and no times.
    const bool ran = r.attempts() > 0;
    const std::string none = "null";
    if (i) text += ",";
    text += "{\"port\":" + json::quote(r.shownPort()) + ",\"log\":" + (ran ? json::quote(r.logPath()) : none) +
            ",\"model\":" + json::quoteOrNull(r.model()) + ",\"serial\":" + json::quoteOrNull(r.serial()) +
            ",\"loaded\":" + (counted ? "true" : "false") + ",\"outcome\":" + json::quote(r.outcome()) +
            ",\"exit_status\":" + (r.exitStatus() >= 0 ? std::to_string(r.exitStatus()) : none) +
            ",\"attempts\":" + std::to_string(r.attempts()) + ",\"reason\":" + json::quote(r.reason()) +
            ",\"firmware\":{\"before\":" + json::quoteOrNull(r.firmwareBefore()) +
            ",\"after\":" + json::quoteOrNull(r.firmwareAfter()) + "},\"seconds\":" + fixed(r.seconds(), 3) +
            ",\"started\":" + (ran ? since(r.startTime()) : none) + ",\"ended\":" + (ran ? since(r.endTime()) : none) +
            ",\"history_id\":" + json::quoteOrNull(r.historyId()) + "}";
  }
  text += "],\"loaded\":" + std::to_string(loaded) + ",\"current\":" + std::to_string(current) +
          ",\"unconfirmed\":" + std::to_string(unconfirmed) + ",\"aborted\":" + std::to_string(aborted) +
          ",\"failed\":" + std::to_string(failed) + ",\"exit_status\":" + std::to_string(exitStatus) + "}\n";
  return text;
}
