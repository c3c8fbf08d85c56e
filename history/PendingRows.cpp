#include "PendingRows.h"

#include <filesystem>

#include "LineRows.h"
#include "LoadHistory.h"
#include "PathText.h"
#include "Station.h"

namespace pendingrows {

SendResult send(LoadHistory& station, LineRows& server) {
  SendResult result;
  for (const LoadRecord& row : station.pendingRows(result.error)) {
    bool written = false;
    if (!server.deliver(row, written, result.error) || !station.markSent(row.id, result.error)) return result;
    ++(written ? result.sent : result.alreadyThere);
  }
  return result;
}

SendResult sendFromStation(LineRows& server) {
  const std::string path = station::defaultHistoryPath();
  std::error_code ec;
  if (path.empty() || !std::filesystem::exists(pathtext::fromUtf8(path), ec)) return {};
  SendResult result;
  const auto history = LoadHistory::open(path, result.error);
  if (!history) return result;
  history->markInterrupted(station::name(), station::processRunning);
  return send(*history, server);
}

}  // namespace pendingrows
