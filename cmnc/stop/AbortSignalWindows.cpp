#include "AbortSignal.h"

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <chrono>

#include "StopTiming.h"

namespace CMNC {
namespace {

HANDLE eventHandle(std::intptr_t native) { return reinterpret_cast<HANDLE>(native); }

SOCKET socketOf(int fd) { return static_cast<SOCKET>(static_cast<std::intptr_t>(fd)); }

int64_t nowUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

AbortSignal::AbortSignal()
    : native_(reinterpret_cast<std::intptr_t>(::CreateEventW(nullptr, TRUE, FALSE, nullptr))) {}

AbortSignal::~AbortSignal() {
  if (valid()) ::CloseHandle(eventHandle(native_));
}

bool AbortSignal::valid() const { return eventHandle(native_) != nullptr; }

void AbortSignal::trigger() {
  set_.store(true);
  if (valid()) ::SetEvent(eventHandle(native_));
}

void AbortSignal::reset() {
  set_.store(false);
  if (valid()) ::ResetEvent(eventHandle(native_));
}

AbortSignal::Wait AbortSignal::wait(int fd, short events, int timeoutMs) const {
  return waitMicros(fd, events, timeoutMs < 0 ? 0 : static_cast<int64_t>(timeoutMs) * 1000);
}

AbortSignal::Wait AbortSignal::waitFor(const AbortSignal& other, int timeoutMs) const {
  if (set_.load()) return Wait::Aborted;
  if (other.isSet()) return Wait::Ready;
  const HANDLE handles[2] = {eventHandle(native_), eventHandle(other.native_)};
  const DWORD r = ::WaitForMultipleObjects(2, handles, FALSE, static_cast<DWORD>(std::max(timeoutMs, 0)));
  if (set_.load()) return Wait::Aborted;
  if (r == WAIT_OBJECT_0 + 1 || other.isSet()) return Wait::Ready;
  return r == WAIT_TIMEOUT ? Wait::Timeout : Wait::Failed;
}

// select cannot wait on an event: it waits in slices and looks at the latch between them. A
// connect that failed is reported in the exception set.
AbortSignal::Wait AbortSignal::waitMicros(int fd, short events, int64_t timeoutUs) const {
  const SOCKET s = socketOf(fd);
  const int64_t deadline = nowUs() + std::max<int64_t>(timeoutUs, 0);
  for (;;) {
    if (set_.load()) return Wait::Aborted;
    const int64_t left = std::max<int64_t>(0, deadline - nowUs());
    const int64_t slice = std::min<int64_t>(left, int64_t{timing::kAbortSliceMs} * 1000);
    fd_set readable, writable, failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    if (events & POLLIN) FD_SET(s, &readable);
    if (events & POLLOUT) FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval limit{static_cast<long>(slice / 1000000), static_cast<long>(slice % 1000000)};
    const int r = ::select(0, &readable, &writable, &failed, &limit);
    if (r == SOCKET_ERROR) return Wait::Failed;
    if (set_.load()) return Wait::Aborted;
    if (FD_ISSET(s, &readable) || FD_ISSET(s, &writable)) return Wait::Ready;
    if (FD_ISSET(s, &failed)) return Wait::Failed;
    if (left == 0) return Wait::Timeout;
  }
}

}  // namespace CMNC
