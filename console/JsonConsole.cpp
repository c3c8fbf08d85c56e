#include "JsonConsole.h"

#include <algorithm>
#include <cstdio>

#include "ConsoleText.h"
#include "JsonText.h"
#include "Version.h"

namespace {

std::string field(const char* name, const std::string& jsonValue) {
  return std::string(",\"") + name + "\":" + jsonValue;
}

std::string receiverFields(const ReceiverFacts& r) {
  return field("model", json::quoteOrNull(r.model)) + field("hardware", json::quoteOrNull(r.hardware)) +
         field("firmware_before", json::quoteOrNull(r.firmwareBefore));
}

std::string imagesArray(const std::vector<LoadedImage>& images) {
  std::string text = "[";
  for (const LoadedImage& image : images) {
    if (text.size() > 1) text += ",";
    text += "{\"file\":" + json::quote(image.file) + field("title", json::quote(image.title)) +
            field("size", std::to_string(image.size)) + field("sha256", json::quoteOrNull(image.sha256)) + "}";
  }
  return text + "]";
}

}  // namespace

JsonConsole::JsonConsole(std::ostream& out, Now now) : out_(out), now_(std::move(now)) {}

std::string JsonConsole::timeStamp(std::chrono::system_clock::time_point t) {
  using namespace std::chrono;
  const auto ms = floor<milliseconds>(t);
  const auto day = floor<days>(ms);
  const year_month_day date{day};
  const hh_mm_ss<milliseconds> time{ms - day};
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()), static_cast<int>(time.subseconds().count()));
  return text;
}

void JsonConsole::writeEvent(const char* event, const std::string& fields) {
  out_ << "{\"time\":" << json::quote(timeStamp(now_())) << ",\"event\":\"" << event << "\"" << fields << "}\n"
       << std::flush;
}

void JsonConsole::text(EchoSource source, const std::string& text) {
  const std::string shown = withoutCarriageReturns(text);
  if (shown.empty()) return;
  writeEvent(source == EchoSource::Status ? "status" : "log", field("text", json::quote(shown)));
}

void JsonConsole::progress(int percent) {
  if (percent == percent_) return;  // one event a step of the bar, not one a block
  percent_ = percent;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - transferStart_).count();
  const double rate = total_ > 0 && seconds > 0.05 ? static_cast<double>(done_) / seconds : 0.0;
  char rateText[32];
  std::snprintf(rateText, sizeof rateText, "%.0f", rate);
  writeEvent("progress", field("percent", std::to_string(std::clamp(percent, 0, 100))) +
                       field("bytes", std::to_string(done_)) + field("total", std::to_string(total_)) +
                       field("rate", rateText) + field("run_bytes", std::to_string(run_.bytes)) +
                       field("run_total", std::to_string(run_.total)) +
                       field("eta_s", run_.secondsLeft ? std::to_string(*run_.secondsLeft) : "null"));
}

void JsonConsole::transfer(uint64_t done, uint64_t total) {
  if (total != total_ || done < done_) transferStart_ = std::chrono::steady_clock::now();
  done_ = done;
  total_ = total;
}

void JsonConsole::warning(const std::string& text) {
  const std::string shown = withoutCarriageReturns(text);
  writeEvent("warning", field("text", json::quote(shown)));
}

void JsonConsole::started(const RunStart& start) {
  writeEvent("start", field("schema", std::to_string(kSchema)) + field("version", json::quote(VESTREL_VERSION)) +
                          field("port", json::quote(start.port)) + field("method", json::quote(start.method)) +
                          field("source", json::quote(start.source)));
}

void JsonConsole::stage(LoadStage stage, const std::string& image) {
  writeEvent("stage", field("stage", json::quote(stageName(stage))) + field("image", json::quoteOrNull(image)));
}

void JsonConsole::receiver(const ReceiverFacts& facts) {
  const std::string fields = field("identity", json::quoteOrNull(facts.id)) + receiverFields(facts);
  if (fields == lastReceiver_) return;
  lastReceiver_ = fields;
  writeEvent("receiver", fields);
}

void JsonConsole::finished(const RunOutcome& outcome) {
  // Success is a load the receiver confirmed, nothing less.
  const bool success = outcome.kind == OutcomeKind::Confirmed && outcome.exitStatus == 0;
  std::string firmware = "null";
  if (outcome.firmware.loaded) {
    firmware = "{\"before\":" + json::quoteOrNull(outcome.firmware.before) + ",\"after\":" + json::quoteOrNull(outcome.firmware.after) +
               ",\"confirmed\":" + (outcome.firmware.confirmed() ? "true" : "false") + "}";
  }
  const ReceiverFacts& r = outcome.receiver;
  const std::string receiver = "{\"id\":" + json::quoteOrNull(r.id) + receiverFields(r) +
                               field("firmware_after", json::quoteOrNull(r.firmwareAfter)) + "}";
  writeEvent("result", field("success", success ? "true" : "false") +
                           field("exit_status", std::to_string(outcome.exitStatus)) +
                           field("reason", json::quote(outcome.reason)) + field("firmware", firmware) +
                           field("outcome", json::quote(outcomeName(outcome.kind))) +
                           field("stage", outcome.stage ? json::quote(stageName(*outcome.stage)) : "null") +
                           field("port", json::quote(outcome.port)) + field("receiver", receiver) +
                           field("images", imagesArray(outcome.images)) +
                           field("source_sha256", json::quoteOrNull(outcome.sourceSha256)) +
                           field("history_id", json::quoteOrNull(outcome.historyId)));
}
