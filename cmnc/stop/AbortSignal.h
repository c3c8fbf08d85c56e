#pragma once
#include <atomic>
#include <cstdint>

namespace CMNC {

// A latch another thread can set to end a blocking wait at once. On Linux it is an eventfd in
// every poll; on Windows a manual-reset event, and socket waits are select calls in slices of
// kAbortSliceMs that look at the latch between them.
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
  // The system object behind the latch was made (false only when the system refused one).
  bool valid() const;

  // Waits until fd reports one of events (POLLIN/POLLOUT), the timeout passes or the latch is set.
  // A negative timeout is not allowed; 0 polls. On Windows fd is a SOCKET (kernel handles keep
  // to 32 significant bits, so it fits) and events are POLLIN or POLLOUT.
  Wait wait(int fd, short events, int timeoutMs) const;
  // The same with a time-out in microseconds, for waits shorter than a millisecond.
  Wait waitMicros(int fd, short events, int64_t timeoutUs) const;
  // Waits until other is set (Ready), the timeout passes or this latch is set (Aborted).
  Wait waitFor(const AbortSignal& other, int timeoutMs) const;

 private:
  std::intptr_t native_ = -1;  // the eventfd, or the event's HANDLE
  std::atomic<bool> set_{false};
};

}  // namespace CMNC
