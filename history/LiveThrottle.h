#pragma once
#include <cstdint>
#include <optional>

// When a run's live state is written next, on a clock in milliseconds the caller gives: a change
// that matters (the start, a stage, the receiver, the end) at once; progress at most once every
// kProgressIntervalMs; a run with nothing new every kHeartbeatMs, so that its row is not taken for
// stale during a long wait; after a failed write not before kRetryMs; after the end nothing.
class LiveThrottle {
 public:
  static constexpr int64_t kProgressIntervalMs = 1000;
  static constexpr int64_t kHeartbeatMs = 5000;
  static constexpr int64_t kRetryMs = 10000;

  void changed(int64_t nowMs, bool urgent);
  void ended(int64_t nowMs);
  // When the next write is due; none once the end was written.
  std::optional<int64_t> due() const;
  // The state as it stands is taken for a write; changes from now on wait for the next one.
  void taken();
  // That write ended at nowMs; a failed one leaves the state to be written again.
  void written(int64_t nowMs, bool ok);
  bool endWritten() const { return endWritten_; }
  bool ending() const { return ending_; }

 private:
  std::optional<int64_t> lastWrite_;
  std::optional<int64_t> failedAt_;
  std::optional<int64_t> changedAt_;  // a change waits since
  bool urgent_ = false;
  bool ending_ = false;
  bool endTaken_ = false;
  bool endWritten_ = false;
};
