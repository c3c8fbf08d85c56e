// Windows: one auto-reset event that the children's readers and a posted signal set.
#include "ChildWait.h"

#include <windows.h>

#include <atomic>

struct ChildWait::Impl {
  HANDLE event = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  std::atomic<int> signal{0};
};

ChildWait::ChildWait() : impl_(std::make_unique<Impl>()) {}

ChildWait::~ChildWait() {
  if (impl_->event) ::CloseHandle(impl_->event);
}

void ChildWait::post(int signal) {
  impl_->signal.store(signal);
  wake();
}

void ChildWait::wake() { ::SetEvent(impl_->event); }

int ChildWait::takeSignal() { return impl_->signal.exchange(0); }

void ChildWait::wait(const std::vector<const ChildProcess*>&, int timeoutMs) {
  ::WaitForSingleObject(impl_->event, static_cast<DWORD>(timeoutMs));
}
