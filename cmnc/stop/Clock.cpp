#include "Clock.h"

#include <chrono>
#include <thread>

namespace CMNC {
namespace {

class SteadyClock final : public Clock {
 public:
  int64_t nowMs() override {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  }
  void sleepMs(int64_t ms) override {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
};

}  // namespace

Clock& Clock::system() {
  static SteadyClock clock;
  return clock;
}

}  // namespace CMNC
