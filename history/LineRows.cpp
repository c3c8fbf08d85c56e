#include "LineRows.h"

#include "HistoryUrl.h"
#include "LivePublisher.h"
#include "LoadHistory.h"
#include "ServerRows.h"
#include "ServiceRows.h"

std::unique_ptr<LineRows> LineRows::open(const std::string& place, const ServiceAccess& access, std::string& error,
                                         const CMNC::AbortSignal* stop) {
  if (historyurl::isServiceUrl(place)) {
    auto rows = std::make_unique<ServiceRows>(place, access, stop);
    if (!rows->hello(error)) return nullptr;
    return rows;
  }
  auto history = LoadHistory::openServer(place, error, stop);
  if (!history) return nullptr;
  return std::make_unique<ServerRows>(std::move(history));
}

std::unique_ptr<LivePublisher> LineRows::publisher(const std::string& place, const ServiceAccess& access,
                                                   const CMNC::AbortSignal* stop) {
  if (historyurl::isServiceUrl(place)) return ServiceRows::publisher(place, access, stop);
  return std::make_unique<LivePublisher>(place, stop);
}
