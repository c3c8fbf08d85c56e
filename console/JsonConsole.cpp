#include "JsonConsole.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "ConsoleText.h"
#include "Version.h"

namespace {

using jsonevents::Json;
using jsonevents::textOrNull;

// The receiver's facts, its identity under the name given first.
Json receiverJson(const char* identityName, const ReceiverFacts& r) {
  return {{identityName, textOrNull(r.id)},
          {"model", textOrNull(r.model)},
          {"hardware", textOrNull(r.hardware)},
          {"firmware_before", textOrNull(r.firmwareBefore)}};
}

Json imagesJson(const std::vector<LoadedImage>& images) {
  Json list = Json::array();
  for (const LoadedImage& image : images)
    list.push_back({{"file", image.file},
                    {"title", image.title},
                    {"size", image.size},
                    {"sha256", textOrNull(image.sha256)},
                    {"result", imageResultName(image.result)},
                    {"words", textOrNull(image.words)}});
  return list;
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

void JsonConsole::writeEvent(const char* event, Json fields) {
  Json line = {{"time", timeStamp(now_())}, {"event", event}};
  line.update(fields);
  out_ << jsonevents::line(line) << std::flush;
}

void JsonConsole::text(EchoSource source, const std::string& text) {
  const std::string shown = withoutCarriageReturns(text);
  if (shown.empty()) return;
  writeEvent(source == EchoSource::Status ? "status" : "log", {{"text", shown}});
}

void JsonConsole::progress(const TransferProgress& p) {
  // One event a step of the load or of the step under way, not one a block.
  if (p.percent == percent_ && p.imagePercent == imagePercent_ && p.imageIndex == imageIndex_) return;
  percent_ = p.percent;
  imagePercent_ = p.imagePercent;
  imageIndex_ = p.imageIndex;
  writeEvent("progress", {{"percent", std::clamp(p.percent, 0, 100)},
                          {"image", textOrNull(p.image)},
                          {"image_index", p.imageIndex},
                          {"image_count", p.imageCount},
                          {"image_percent", std::clamp(p.imagePercent, 0, 100)},
                          {"bytes", p.bytes},
                          {"total", p.total},
                          {"run_bytes", p.runBytes},
                          {"run_total", p.runTotal},
                          {"rate", std::round(p.bytesPerSecond)},
                          {"eta_s", p.secondsLeft ? Json(*p.secondsLeft) : Json(nullptr)}});
}

void JsonConsole::warning(const std::string& text) {
  const std::string shown = withoutCarriageReturns(text);
  writeEvent("warning", {{"text", shown}});
}

void JsonConsole::started(const RunStart& start) {
  writeEvent("start", {{"schema", jsonevents::kSchema},
                       {"version", VESTREL_VERSION},
                       {"port", start.port},
                       {"method", start.method},
                       {"source", start.source}});
}

void JsonConsole::stage(LoadStage stage, const std::string& image) {
  writeEvent("stage", {{"stage", stageName(stage)}, {"image", textOrNull(image)}});
}

void JsonConsole::receiver(const ReceiverFacts& facts) {
  const Json fields = receiverJson("identity", facts);
  if (fields == lastReceiver_) return;
  lastReceiver_ = fields;
  writeEvent("receiver", fields);
}

void JsonConsole::finished(const RunOutcome& outcome) {
  // Success is a load the receiver confirmed, nothing less.
  const bool success = outcome.kind == OutcomeKind::Confirmed && outcome.exitStatus == 0;
  Json firmware = nullptr;
  if (outcome.firmware.loaded)
    firmware = {{"before", textOrNull(outcome.firmware.before)},
                {"after", textOrNull(outcome.firmware.after)},
                {"confirmed", outcome.firmware.confirmed()}};
  Json receiver = receiverJson("id", outcome.receiver);
  receiver["firmware_after"] = textOrNull(outcome.receiver.firmwareAfter);
  writeEvent("result", {{"success", success},
                        {"exit_status", outcome.exitStatus},
                        {"reason", outcome.reason},
                        {"firmware", firmware},
                        {"outcome", outcomeName(outcome.kind)},
                        {"stage", outcome.stage ? Json(stageName(*outcome.stage)) : Json(nullptr)},
                        {"port", outcome.port},
                        {"receiver", receiver},
                        {"images", imagesJson(outcome.images)},
                        {"failure", outcome.failure == FailureKind::None
                                        ? Json(nullptr)
                                        : Json{{"kind", failureKindName(outcome.failure)}, {"remedy", outcome.remedy}}},
                        {"source_sha256", textOrNull(outcome.sourceSha256)},
                        {"history_id", textOrNull(outcome.historyId)}});
}
