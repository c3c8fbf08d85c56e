#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <thread>

#include "InterruptWatch.h"

namespace {
// The signal handler's only state: where it writes the signal's number.
std::atomic<int> g_signalPipe{-1};

void onSignal(int signal) {
  const int fd = g_signalPipe.load();
  if (fd < 0) return;
  const unsigned char byte = static_cast<unsigned char>(signal);
  const int saved = errno;
  [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);  // async-signal-safe
  errno = saved;
}
}  // namespace

const int InterruptWatch::kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
const int InterruptWatch::kFinishSignal = SIGUSR1;

struct InterruptWatch::Impl {
  Handler first, again, finish;
  int signals[2] = {-1, -1};  // the handler writes, the watcher reads
  int wake[2] = {-1, -1};     // the destructor ends the watcher
  std::thread watcher;

  void watch() {
    bool seen = false;
    for (;;) {
      pollfd fds[2] = {{signals[0], POLLIN, 0}, {wake[0], POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[1].revents != 0) return;
      unsigned char byte = 0;
      if (::read(signals[0], &byte, 1) != 1) continue;
      if (byte == kFinishSignal && finish) {
        finish(byte);
        continue;
      }
      if (!seen) first(byte);
      else again(byte);
      seen = true;
    }
  }
};

InterruptWatch::InterruptWatch(Handler first, Handler again, Handler finish) : impl_(std::make_unique<Impl>()) {
  impl_->first = std::move(first);
  impl_->again = std::move(again);
  impl_->finish = std::move(finish);
  if (::pipe2(impl_->signals, O_CLOEXEC) != 0 || ::pipe2(impl_->wake, O_CLOEXEC) != 0) return;
  ::fcntl(impl_->signals[1], F_SETFL, O_NONBLOCK);  // a flood of signals never blocks the handler
  impl_->watcher = std::thread([impl = impl_.get()] { impl->watch(); });
  g_signalPipe.store(impl_->signals[1]);
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int s : kSignals) ::sigaction(s, &action, nullptr);
  if (impl_->finish) ::sigaction(kFinishSignal, &action, nullptr);
}

InterruptWatch::~InterruptWatch() {
  for (int s : kSignals) std::signal(s, SIG_DFL);
  if (impl_->finish) std::signal(kFinishSignal, SIG_DFL);
  g_signalPipe.store(-1);
  if (impl_->watcher.joinable()) {
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = ::write(impl_->wake[1], &byte, 1);
    impl_->watcher.join();
  }
  for (int fd : {impl_->signals[0], impl_->signals[1], impl_->wake[0], impl_->wake[1]})
    if (fd >= 0) ::close(fd);
}
