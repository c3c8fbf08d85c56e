#pragma once
#include <cstdint>

namespace CMNC {

// Time source and sleep of the loader, injectable so that tests need not wait on real time.
class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds on a monotonic clock.
  virtual int64_t nowMs() = 0;
  virtual void sleepMs(int64_t ms) = 0;

  // The process's real monotonic clock.
  static Clock& system();
};

}  // namespace CMNC
