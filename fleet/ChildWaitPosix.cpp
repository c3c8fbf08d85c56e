// Linux: one poll over the children's pipes and a self-pipe a posted signal writes to.
#include "ChildWait.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>

#include "ChildProcessPosix.h"

struct ChildWait::Impl {
  int fds[2] = {-1, -1};
  std::atomic<int> signal{0};
};

ChildWait::ChildWait() : impl_(std::make_unique<Impl>()) {
  if (::pipe2(impl_->fds, O_CLOEXEC | O_NONBLOCK) != 0) impl_->fds[0] = impl_->fds[1] = -1;
}

ChildWait::~ChildWait() {
  for (int fd : impl_->fds)
    if (fd >= 0) ::close(fd);
}

void ChildWait::post(int signal) {
  impl_->signal.store(signal);
  wake();
}

void ChildWait::wake() {
  const unsigned char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(impl_->fds[1], &byte, 1);
}

int ChildWait::takeSignal() { return impl_->signal.exchange(0); }

void ChildWait::wait(const std::vector<const ChildProcess*>& children, int timeoutMs) {
  std::vector<pollfd> fds{{impl_->fds[0], POLLIN, 0}};
  for (const ChildProcess* child : children) {
    for (int fd : {child->impl_->out, child->impl_->err})
      if (fd >= 0) fds.push_back({fd, POLLIN, 0});
  }
  ::poll(fds.data(), fds.size(), timeoutMs);  // an interrupted poll ends the wait early, which is harmless
  unsigned char drained[64];
  while (::read(impl_->fds[0], drained, sizeof drained) > 0) {
  }
}
