#include "RunProgress.h"

#include <algorithm>
#include <cstdio>

void RunProgress::plan(uint64_t totalBytes, int64_t /*nowMs*/) {
  *this = RunProgress{};
  total_ = totalBytes;
}

void RunProgress::transferred(uint64_t done, uint64_t total, int64_t nowMs) {
  if (total != current_ || done < done_) {  // another transfer: the one before is over
    closed_ += current_ == 0 ? 0 : done_;
    current_ = total;
  }
  done_ = done;
  if (!firstByteMs_ && done > 0) firstByteMs_ = nowMs;
}

uint64_t RunProgress::runBytes() const {
  const uint64_t sent = closed_ + done_;
  return total_ > 0 ? std::min(sent, total_) : sent;  // a transfer sent again never goes past the plan
}

std::optional<int64_t> RunProgress::secondsLeft(int64_t nowMs) const {
  if (!firstByteMs_ || total_ == 0) return std::nullopt;
  const int64_t sendingMs = nowMs - *firstByteMs_;
  const uint64_t sent = runBytes();
  if (sendingMs < kMinSendingMs || sent == 0) return std::nullopt;
  const double bytesPerMs = static_cast<double>(sent) / static_cast<double>(sendingMs);
  return static_cast<int64_t>(static_cast<double>(total_ - sent) / bytesPerMs / 1000.0 + 0.5);
}

double RunProgress::bytesPerSecond(int64_t nowMs) const {
  if (!firstByteMs_) return 0.0;
  const int64_t sendingMs = nowMs - *firstByteMs_;
  if (sendingMs < kMinSendingMs) return 0.0;
  return static_cast<double>(runBytes()) * 1000.0 / static_cast<double>(sendingMs);
}

int RunProgress::percent() {
  int now = 0;
  if (finished_) now = 100;
  else if (total_ > 0) now = std::min<int>(99, static_cast<int>(runBytes() * 100 / total_));
  shownPercent_ = std::max(shownPercent_, now);
  return shownPercent_;
}

std::string RunProgress::kibText(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
  return text;
}

std::string RunProgress::leftText(std::optional<int64_t> seconds) {
  if (!seconds) return "";
  if (*seconds >= 90) return "about " + std::to_string((*seconds + 30) / 60) + " min left";
  return "about " + std::to_string(std::max<int64_t>(*seconds, 1)) + " s left";
}
