#include "SignInThrottle.h"

#include <algorithm>

std::chrono::seconds SignInThrottle::waitFor(const std::string& address, Clock::time_point now) {
  std::lock_guard lock(mutex_);
  const auto it = failures_.find(address);
  if (it == failures_.end()) return std::chrono::seconds(0);
  if (now - it->second.last >= kWindow) {
    failures_.erase(it);
    return std::chrono::seconds(0);
  }
  if (it->second.count < kAllowedFailures) return std::chrono::seconds(0);
  return std::chrono::ceil<std::chrono::seconds>(it->second.last + kWindow - now);
}

void SignInThrottle::failed(const std::string& address, Clock::time_point now) {
  std::lock_guard lock(mutex_);
  if (failures_.size() >= kMaxAddresses && failures_.count(address) == 0) {
    const auto oldest = std::min_element(failures_.begin(), failures_.end(),
                                         [](const auto& a, const auto& b) { return a.second.last < b.second.last; });
    failures_.erase(oldest);
  }
  Failures& failures = failures_[address];
  if (now - failures.last >= kWindow) failures.count = 0;
  ++failures.count;
  failures.last = now;
}

void SignInThrottle::succeeded(const std::string& address) {
  std::lock_guard lock(mutex_);
  failures_.erase(address);
}
