#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "LoadRecord.h"

class LivePublisher;
namespace CMNC {
class AbortSignal;
}

// What a station needs to write to the line service: its token, and the one certificate it trusts
// for the service ("" for the system's trusted certificates).
struct ServiceAccess {
  std::string token;
  std::string caFile;
};

// The line's history as a station writes it: the line's PostgreSQL server (ServerRows), or the
// line service's station API over HTTPS (ServiceRows). A run's row begun and finished, a row that
// waited on the station delivered once, the station's rows whose process is gone marked
// interrupted, and a publisher for where a run stands. One thread uses an instance; every call
// blocks up to the store's deadlines, which a set stop cuts short.
class LineRows {
 public:
  virtual ~LineRows() = default;
  // Connects to place (postgresql://... or https://...) and makes sure it takes this station's
  // rows; nullptr with error set (and its remedy) when it cannot be reached or refuses.
  static std::unique_ptr<LineRows> open(const std::string& place, const ServiceAccess& access, std::string& error,
                                        const CMNC::AbortSignal* stop = nullptr);

  // A publisher of a run's live state at place, writing from a thread and connection of its own.
  static std::unique_ptr<LivePublisher> publisher(const std::string& place, const ServiceAccess& access,
                                                  const CMNC::AbortSignal* stop);

  virtual bool begin(const LoadRecord& row, std::string& error) = 0;
  // The finished row, written once: a row already finished there stays as it is.
  virtual bool finish(const LoadRecord& row, std::string& error) = 0;
  // A row that waited on the station; written is true when it was not there yet.
  virtual bool deliver(const LoadRecord& row, bool& written, std::string& error) = 0;
  // Stores the unfinished rows of station whose process is not running as interrupted.
  virtual void markInterrupted(const std::string& station, const std::function<bool(int64_t pid)>& running) = 0;
};
