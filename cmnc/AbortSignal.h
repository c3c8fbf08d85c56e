#pragma once
#include <atomic>
#include <cstdint>

namespace CMNC {

// A latch another thread can set to end a blocking poll at once (an eventfd in the poll set).
class AbortSignal {
 public:
  enum class Wait { Ready, Timeout, Aborted, Failed };

  AbortSignal();
  ~AbortSignal();
  AbortSignal(const AbortSignal&) = delete;
  AbortSignal& operator=(const AbortSignal&) = delete;

  // Thread-safe: sets the latch and wakes every waiter.
  void trigger();
  // Clears the latch (called when the link is opened again).
  void reset();
  bool isSet() const { return set_.load(); }

  // Waits until fd reports one of events (POLLIN/POLLOUT), the timeout passes or the latch is set.
  // A negative timeout is not allowed; 0 polls.
  Wait wait(int fd, short events, int timeoutMs) const;
  // The same with a time-out in microseconds, for waits shorter than a millisecond.
  Wait waitMicros(int fd, short events, int64_t timeoutUs) const;

 private:
  int eventFd_ = -1;
  std::atomic<bool> set_{false};
};

}  // namespace CMNC
