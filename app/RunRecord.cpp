#include "RunRecord.h"

#include <chrono>
#include <thread>

#include "AbortSignal.h"
#include "HistoryClock.h"
#include "HistoryUrl.h"
#include "KeptOutcome.h"
#include "LineRows.h"
#include "LinkKinds.h"
#include "LivePublisher.h"
#include "LoadHistory.h"
#include "LogArchive.h"
#include "PendingRows.h"
#include "Station.h"

namespace {

std::string notWritten(const std::string& error) { return "The load history is not written.\r\nThe history said: " + error; }

std::string waitsOnStation(const std::string& serverError) {
  return "The history server does not have this run's row: it waits in this station's history, pending, and the "
         "next run that reaches the server sends it (or vestrel --sync-history).\r\nThe history server said: " +
         serverError;
}

}  // namespace

RunRecord::RunRecord(const HistorySettings& settings, const CMNC::AbortSignal* stop) : settings_(settings), stop_(stop) {}
RunRecord::~RunRecord() = default;

// The run's live row on the line's server, begun with what the row knows.
void RunRecord::startLive() {
  live_ = {};
  live_.id = row_.id;
  live_.station = row_.station;
  live_.pid = row_.pid;
  live_.port = row_.port;
  live_.method = row_.method;
  live_.source = row_.source;
  live_.workOrder = row_.workOrder;
  publisher_ = LineRows::publisher(place(), settings_.service, stop_);
  publisher_->publish(live_, true);
}

void RunRecord::observe(const RunEvent& event) {
  if (!publisher_) return;
  bool urgent = true;
  if (const auto* stage = std::get_if<StageEntered>(&event)) {
    live_.stage = stageName(stage->stage);
  } else if (const auto* learned = std::get_if<ReceiverLearned>(&event)) {
    live_.receiverId = learned->facts.id;
    live_.receiverModel = learned->facts.model;
  } else if (const auto* progress = std::get_if<TransferProgress>(&event)) {
    urgent = progress->imageIndex != live_.imageIndex;
    live_.percent = progress->percent;
    live_.image = progress->image;
    live_.imageIndex = progress->imageIndex;
    live_.imageCount = progress->imageCount;
    live_.secondsLeft = progress->secondsLeft;
  } else {
    return;
  }
  publisher_->publish(live_, urgent);
}

// The run's end on the live view, once its row was written: waited for a bounded time.
void RunRecord::endLive() {
  if (!publisher_) return;
  live_.outcome = row_.outcome;
  live_.failureKind = row_.failureKind;
  live_.reason = row_.reason;
  live_.stage = row_.stage;
  live_.receiverId = row_.receiverId;
  live_.receiverModel = row_.receiverModel;
  if (row_.outcome == "confirmed") live_.percent = 100;
  live_.secondsLeft.reset();
  publisher_->end(live_);
  publisher_.reset();
}

std::string RunRecord::place() const { return settings_.path.empty() ? station::defaultHistoryPath() : settings_.path; }

std::string RunRecord::stationPath() const {
  return historyurl::isServerUrl(place()) ? station::defaultHistoryPath() : place();
}

// The station's own file: the history's place, or where rows wait for the line's server.
LoadHistory* RunRecord::stationHistory(std::string& error) {
  if (station_ || unusable_) {
    if (!station_) error = stationError_;
    return station_.get();
  }
  const std::string path = stationPath();
  if (path.empty()) error = "no place for it on this station is known (set --history-db PATH).";
  else station_ = LoadHistory::open(path, error, stop_);
  if (station_ && !station_->warning().empty() && settings_.required) {
    // A history on a network file system is kept one program at a time: not one to rely on.
    error = station_->warning() + " --history-required asks for one that can be relied on.";
    station_.reset();
  }
  if (!station_) {
    unusable_ = true;
    stationError_ = error;
    return nullptr;
  }
  station_->markInterrupted(station::name(), station::processRunning);
  return station_.get();
}

// Connects to the server when there is no connection, and sends it the rows that wait on the
// station; false with error set when the server cannot be reached.
bool RunRecord::reachServer(const std::string& url, std::string& error) {
  if (!server_) {
    server_ = LineRows::open(url, settings_.service, error, stop_);
    if (!server_) return false;
    server_->markInterrupted(station::name(), station::processRunning);
  }
  std::string stationError;
  LoadHistory* station = stationHistory(stationError);
  const pendingrows::SendResult sent = station ? pendingrows::send(*station, *server_) : pendingrows::SendResult{};
  if (sent.error.empty()) return true;
  error = sent.error;
  server_.reset();
  return false;
}

// Writes on the server; a connection that broke since it was made (the server restarted, the
// network dropped it while a load ran) is made anew once.
bool RunRecord::writeOnServer(const std::string& url, const ServerWrite& write, std::string& error) {
  for (int attempt = 0; attempt < 2 && !(stop_ && stop_->isSet()); ++attempt) {
    if (!reachServer(url, error)) return false;
    if (write(*server_, error)) return true;
    server_.reset();
  }
  return false;
}

// The server could not take the row: it waits in the station's file, pending.
std::string RunRecord::keepOnStation(const Write& write, const std::string& serverError) {
  row_.pending = true;
  std::string error;
  LoadHistory* station = stationHistory(error);
  if (station && write(*station, error)) return waitsOnStation(serverError);
  row_.pending = false;
  return notWritten(serverError + "; and " + error);
}

std::string RunRecord::begin(const PortEntry& port, const std::string& method, const std::string& source) {
  if (!settings_.enabled || open_) return {};
  row_ = {};
  row_.id = station::newUuid();
  row_.startedAt = historyclock::isoUtcNow();
  row_.station = station::name();
  row_.pid = station::processId();
  row_.toolVersion = settings_.toolVersion;
  row_.commandLine = settings_.commandLine;
  row_.port = CMNC::PortTextOf(port);
  row_.link = CMNC::LinkKindOf(port.kind).name;
  row_.method = method;
  row_.source = source;
  row_.logPath = settings_.logPath;
  row_.workOrder = settings_.order.workOrder;
  row_.operatorName = settings_.order.operatorName;
  row_.lot = settings_.order.lot;
  row_.signerKey = settings_.signerKey;
  row_.signerComment = settings_.signerComment;
  PortEntry withoutPassword = port;
  secrets_ = {CMNC::TakePassword(withoutPassword)};
  const Write begin = [this](LoadHistory& history, std::string& error) { return history.begin(row_, error); };
  std::string warning, error;
  if (historyurl::isServerUrl(place())) {
    onServer_ = writeOnServer(place(), [this](LineRows& rows, std::string& e) { return rows.begin(row_, e); }, error);
    if (!onServer_) warning = keepOnStation(begin, error);
    // A row that waits on the station was written, and its warning says where.
    open_ = onServer_ || row_.pending;
  } else {
    LoadHistory* station = stationHistory(error);
    open_ = station && station->begin(row_, error);
    if (!open_) warning = notWritten(error);
    else warning = station->warning();
  }
  if (!open_) row_.id.clear();
  else if (historyurl::isServerUrl(place())) startLive();
  return warning;
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
  row_.failureKind = failureKindName(outcome.failure);
  for (const LoadedImage& image : outcome.images)
    row_.images.push_back({image.file, image.title, image.size, image.sha256, imageResultName(image.result)});
  row_.log = logarchive::packFile(row_.logPath, secrets_);
  const std::string warning = finishRow();
  endLive();
  return warning;
}

// The finished row onto the server, else into the station's file.
std::string RunRecord::finishRow() {
  std::string error;
  if (onServer_) {
    onServer_ = false;
    if (writeOnServer(place(), [this](LineRows& rows, std::string& e) { return rows.finish(row_, e); }, error)) return {};
    row_.pending = true;
    const std::string warning = finishOnStation();
    return warning.empty() ? waitsOnStation(error) : warning + "\r\nThe history server said: " + error;
  }
  if (const std::string warning = finishOnStation(); !warning.empty()) return warning;
  // A row that waited since the run began goes to the server now if it is back.
  if (!row_.pending || reachServer(place(), error)) return {};
  return waitsOnStation(error);
}

// Sleeps ms in short slices; false when the stop came.
bool RunRecord::pause(int ms) const {
  constexpr int kSliceMs = 50;
  for (int slept = 0; slept < ms; slept += kSliceMs) {
    if (stop_ && stop_->isSet()) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
  }
  return !(stop_ && stop_->isSet());
}

// The finished row into the station's file. Another process may hold the file for a while: the
// write is tried again until kFinalWriteBoundMs has passed; then the row is kept beside the file.
std::string RunRecord::finishOnStation() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kFinalWriteBoundMs);
  std::string error;
  for (;;) {
    LoadHistory* station = stationHistory(error);
    if (station && station->finish(row_, error)) return {};
    if (std::chrono::steady_clock::now() >= deadline || !pause(kFinalWriteRetryMs)) break;
    if (!station) {
      unusable_ = false;  // opened anew at the next try
      station_.reset();
    }
  }
  return keepBeside(error);
}

// The history cannot take the row: it is kept beside the history, for the next run to put in.
std::string RunRecord::keepBeside(const std::string& error) {
  const std::string path = stationPath();
  std::string keepError;
  if (path.empty() || !keptoutcome::keep(path, row_, keepError))
    return notWritten(error + (keepError.empty() ? "" : "\r\nNor could the run's outcome be kept: " + keepError));
  return "The run's row is not in the load history " + path + " yet: its outcome is kept in " +
         keptoutcome::pathFor(path, row_.id) + ", and the next run puts it there.\r\nThe history said: " + error;
}
