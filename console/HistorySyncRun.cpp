#include "HistorySyncRun.h"

#include <ostream>

#include "LoadHistory.h"
#include "PendingRows.h"

int runHistorySync(const std::string& serverUrl, std::ostream& out, std::ostream& err) {
  std::string error;
  const auto server = LoadHistory::openServer(serverUrl, error);
  if (!server) {
    err << "vestrel: " << error << "\n";
    return 1;
  }
  const pendingrows::SendResult result = pendingrows::sendFromStation(*server);
  out << result.sent << (result.sent == 1 ? " row was" : " rows were") << " sent to the history server";
  if (result.alreadyThere > 0) out << "; " << result.alreadyThere << " it had already";
  out << ".\n";
  if (result.error.empty()) return 0;
  err << "vestrel: rows still wait for the server: " << result.error << "\n";
  return 1;
}
