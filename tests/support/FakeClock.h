#pragma once
#include <atomic>

#include "Clock.h"

// A clock whose time moves only when someone sleeps (or a fake port waits).
class FakeClock final : public CMNC::Clock {
 public:
  int64_t nowMs() override { return now_.load(); }
  void sleepMs(int64_t ms) override {
    if (ms > 0) now_ += ms;
  }
  void advance(int64_t ms) { now_ += ms; }

 private:
  std::atomic<int64_t> now_{1000000};
};
