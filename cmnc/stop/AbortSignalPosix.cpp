#include "AbortSignal.h"

#include <poll.h>
#include <time.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace CMNC {
namespace {

int eventFd(std::intptr_t native) { return static_cast<int>(native); }

}  // namespace

AbortSignal::AbortSignal() : native_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

AbortSignal::~AbortSignal() {
  if (valid()) ::close(eventFd(native_));
}

bool AbortSignal::valid() const { return eventFd(native_) >= 0; }

void AbortSignal::trigger() {
  set_.store(true);
  if (valid()) {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(eventFd(native_), &one, sizeof one);
  }
}

void AbortSignal::reset() {
  set_.store(false);
  if (valid()) {
    uint64_t value = 0;
    [[maybe_unused]] ssize_t n = ::read(eventFd(native_), &value, sizeof value);
  }
}

AbortSignal::Wait AbortSignal::wait(int fd, short events, int timeoutMs) const {
  return waitMicros(fd, events, timeoutMs < 0 ? 0 : static_cast<int64_t>(timeoutMs) * 1000);
}

AbortSignal::Wait AbortSignal::waitFor(const AbortSignal& other, int timeoutMs) const {
  if (other.isSet()) return Wait::Ready;
  const Wait w = wait(eventFd(other.native_), POLLIN, timeoutMs);
  return w == Wait::Ready && !other.isSet() ? Wait::Timeout : w;
}

AbortSignal::Wait AbortSignal::waitMicros(int fd, short events, int64_t timeoutUs) const {
  if (set_.load()) return Wait::Aborted;
  pollfd fds[2] = {{fd, events, 0}, {eventFd(native_), POLLIN, 0}};
  const nfds_t count = valid() ? 2 : 1;
  const int64_t us = timeoutUs < 0 ? 0 : timeoutUs;
  const timespec limit{static_cast<time_t>(us / 1000000), static_cast<long>(us % 1000000) * 1000};
  for (;;) {
    int r = ::ppoll(fds, count, &limit, nullptr);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return Wait::Failed;
    if (set_.load()) return Wait::Aborted;
    if (r == 0) return Wait::Timeout;
    if (fds[0].revents & events) return Wait::Ready;
    if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return Wait::Failed;
    return Wait::Timeout;
  }
}

}  // namespace CMNC
