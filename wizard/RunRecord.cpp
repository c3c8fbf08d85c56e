#include "RunRecord.h"

#include "HistoryClock.h"
#include "LinkKinds.h"
#include "LoadHistory.h"
#include "Station.h"

RunRecord::RunRecord(const HistorySettings& settings) : settings_(settings) {}
RunRecord::~RunRecord() = default;

std::string RunRecord::warning(const std::string& error) {
  return "The load history is not written: " + error;
}

std::string RunRecord::begin(const PortEntry& port, const std::string& method, const std::string& source) {
  if (!settings_.enabled || open_) return {};
  if (!history_) {
    if (unusable_) return {};
    const std::string path = settings_.path.empty() ? station::defaultHistoryPath() : settings_.path;
    std::string error = path.empty() ? "no place for it is known (set --history-db PATH)." : "";
    if (!path.empty()) history_ = LoadHistory::open(path, error);
    if (!history_) {
      unusable_ = true;
      return warning(error);
    }
    history_->markInterrupted(station::hostName(), station::processRunning);
  }
  row_ = {};
  row_.id = station::newUuid();
  row_.startedAt = historyclock::isoUtcNow();
  row_.station = station::hostName();
  row_.pid = station::processId();
  row_.toolVersion = settings_.toolVersion;
  row_.commandLine = settings_.commandLine;
  row_.port = CMNC::PortTextOf(port);
  row_.link = CMNC::LinkKindOf(port.kind).name;
  row_.method = method;
  row_.source = source;
  row_.logPath = settings_.logPath;
  std::string error;
  if (!history_->begin(row_, error)) {
    row_.id.clear();
    return warning(error);
  }
  open_ = true;
  return {};
}

std::string RunRecord::finish(const RunOutcome& outcome) {
  if (!open_) return {};
  open_ = false;
  row_.finishedAt = historyclock::isoUtcNow();
  row_.sourceSha256 = outcome.sourceSha256;
  row_.receiverModel = outcome.receiver.model;
  row_.receiverId = outcome.receiver.id;
  row_.receiverHardware = outcome.receiver.hardware;
  row_.firmwareBefore = outcome.receiver.firmwareBefore;
  row_.firmwareAfter = outcome.receiver.firmwareAfter;
  row_.outcome = outcomeName(outcome.kind);
  row_.stage = outcome.stage ? stageName(*outcome.stage) : "";
  row_.exitStatus = outcome.exitStatus;
  row_.reason = outcome.reason;
  row_.images.clear();
  for (const LoadedImage& image : outcome.images) row_.images.push_back({image.file, image.title, image.size, image.sha256});
  std::string error;
  return history_->finish(row_, error) ? std::string() : warning(error);
}
