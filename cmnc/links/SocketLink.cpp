#include "SocketLink.h"

#include <algorithm>

#include "CAbstractReceiverPort.h"
#include "Clock.h"
#include "SocketApi.h"
#include "LinkTiming.h"

namespace CMNC {

SocketLink::~SocketLink() { close(); }

void SocketLink::adopt(int fd) {
  close();
  fd_ = fd;
  if (fd_ >= 0) socketapi::setNonBlocking(fd_);  // every call returns at once; waits are the latch's
}

bool SocketLink::waitConnected(int fd, int timeoutMs) const {
  return abort_.wait(fd, POLLOUT, timeoutMs) == AbortSignal::Wait::Ready;
}

void SocketLink::close() {
  if (fd_ < 0) return;
  socketapi::closeSocket(fd_);
  fd_ = -1;
}

int SocketLink::read(uint8_t* buffer, int size, int timeoutMs, int intervalMs) {
  if (fd_ < 0 || abort_.isSet()) return -1;
  const int timeout = timeoutMs < 0 ? timing::kSocketDefaultReadMs : timeoutMs;
  int interval = intervalMs;
  if (timeout == 0) interval = 0;
  else if (interval < 0) interval = size == 1 ? 0 : timing::kSocketDefaultIntervalMs;
  if (size < 1) return size;

  AbortSignal::Wait w = abort_.wait(fd_, POLLIN, timeout);
  if (w == AbortSignal::Wait::Aborted) return -1;
  if (w != AbortSignal::Wait::Ready) return 0;
  Clock& clock = Clock::system();
  const int64_t start = clock.nowMs();
  int total = 0;
  for (;;) {
    const int n = socketapi::receive(fd_, buffer + total, size - total);
    if (n == 0) {  // the peer closed the link
      close();
      break;
    }
    int wait = interval;
    if (n < 0) {
      if (!socketapi::wouldBlock(socketapi::lastError())) break;
      // Woken with nothing to take: wait again within the read's time, never spin.
      wait = total == 0 ? static_cast<int>(std::max<int64_t>(0, timeout - (clock.nowMs() - start))) : interval;
    } else {
      total += n;
      if (total >= size) break;
    }
    if (clock.nowMs() - start >= timeout) break;
    w = abort_.wait(fd_, POLLIN, wait);
    if (w == AbortSignal::Wait::Aborted) return total > 0 ? total : -1;
    if (w != AbortSignal::Wait::Ready) break;
  }
  return total;
}

int SocketLink::write(const uint8_t* data, int size, std::string& errorText) {
  if (fd_ < 0 || abort_.isSet()) return -1;
  if (size <= 0) return 0;
  AbortSignal::Wait w = abort_.wait(fd_, POLLOUT, timing::kSocketWritableWaitMs);
  if (w == AbortSignal::Wait::Aborted) return -1;
  if (w == AbortSignal::Wait::Failed) return -1;
  if (w == AbortSignal::Wait::Timeout) {
    errorText = "The receiver did not accept data for 10 s.";
    return 0;
  }
  // Send everything; a full socket buffer is waited for within the same 10 s bound.
  Clock& clock = Clock::system();
  const int64_t deadline = clock.nowMs() + timing::kSocketWritableWaitMs;
  int sent = 0;
  while (sent < size) {
    const int n = socketapi::send(fd_, data + sent, size - sent);
    if (n > 0) {
      sent += n;
      continue;
    }
    const int error = n < 0 ? socketapi::lastError() : 0;
    if (n < 0 && !socketapi::wouldBlock(error)) {
      errorText = socketapi::errorText(error);
      return sent > 0 ? sent : -1;
    }
    const int64_t left = deadline - clock.nowMs();
    if (left <= 0 || abort_.wait(fd_, POLLOUT, static_cast<int>(left)) != AbortSignal::Wait::Ready) break;
  }
  return sent;
}

bool SocketLink::purge(uint32_t flags) {
  // The abort comes from another thread, also while the link opens or closes: it touches the
  // latch only.
  if (flags & (kPurgeTxAbort | kPurgeRxAbort)) abort_.trigger();
  if (!(flags & kPurgeRxClear) || fd_ < 0) return true;
  // A chatty receiver never falls silent: stop after a bounded time and byte count.
  Clock& clock = Clock::system();
  const int64_t deadline = clock.nowMs() + timing::kDrainLimitMs;
  int drained = 0;
  uint8_t chunk[1024];
  while (drained < timing::kDrainLimitBytes && clock.nowMs() < deadline) {
    const int64_t left = deadline - clock.nowMs();
    int n = read(chunk, sizeof chunk, static_cast<int>(std::min<int64_t>(left, timing::kSocketPurgeReadMs)), 0);
    if (n <= 0) break;
    drained += n;
  }
  return true;
}

}  // namespace CMNC
