#pragma once
#include <cstdint>
#include <optional>
#include <string>

// How far a whole run is: the bytes of every transfer it will make (planned when it starts), the
// bytes sent so far across them, and the time left from the rate so far. Fed with each transfer's
// progress; a transfer that starts again (done falls, or another total) closes the one before.
// Times come from the caller, so a test gives its own clock. Used on one thread.
class RunProgress {
 public:
  // A new run that will send this many bytes in all.
  void plan(uint64_t totalBytes, int64_t nowMs);
  // The current transfer has sent done of its total bytes.
  void transferred(uint64_t done, uint64_t total, int64_t nowMs);

  uint64_t runBytes() const;
  uint64_t runTotal() const { return total_; }
  // Seconds left at the rate so far; none until the run has sent for a while.
  std::optional<int64_t> secondsLeft(int64_t nowMs) const;
  // Bytes a second since the first byte; 0 until the run has sent for a while.
  double bytesPerSecond(int64_t nowMs) const;
  // The whole run's percentage from its bytes: it never goes back, and it reaches 100 only when
  // finished() was called (a run's last bytes are not its end: the receiver still flashes them).
  int percent();
  void finished() { finished_ = true; }
  // "about 3 min left", "about 40 s left", or "" when not known.
  static std::string leftText(std::optional<int64_t> seconds);
  // "120.0 KiB": the one unit every display of a run's bytes and rate uses.
  static std::string kibText(uint64_t bytes);

  // The rate is judged only after this long of sending.
  static constexpr int64_t kMinSendingMs = 2000;

 private:
  uint64_t total_ = 0;
  uint64_t closed_ = 0;                  // bytes of the transfers that ended
  uint64_t done_ = 0, current_ = 0;      // the transfer under way: sent, and its total
  std::optional<int64_t> firstByteMs_;
  int shownPercent_ = 0;
  bool finished_ = false;
};
