#include "LiveThrottle.h"

#include <algorithm>

void LiveThrottle::changed(int64_t nowMs, bool urgent) {
  if (!changedAt_) changedAt_ = nowMs;
  urgent_ = urgent_ || urgent;
}

void LiveThrottle::ended(int64_t nowMs) {
  ending_ = true;
  changed(nowMs, true);
}

std::optional<int64_t> LiveThrottle::due() const {
  if (endWritten_) return std::nullopt;
  int64_t at = 0;
  if (changedAt_) at = urgent_ || !lastWrite_ ? *changedAt_ : std::max(*changedAt_, *lastWrite_ + kProgressIntervalMs);
  else if (lastWrite_) at = *lastWrite_ + kHeartbeatMs;
  else return std::nullopt;  // nothing yet
  if (failedAt_) at = std::max(at, *failedAt_ + kRetryMs);
  return at;
}

void LiveThrottle::taken() {
  changedAt_.reset();
  urgent_ = false;
  endTaken_ = ending_;
}

void LiveThrottle::written(int64_t nowMs, bool ok) {
  if (!ok) {
    failedAt_ = nowMs;
    changed(nowMs, true);
    return;
  }
  failedAt_.reset();
  lastWrite_ = nowMs;
  endWritten_ = endWritten_ || endTaken_;
}
