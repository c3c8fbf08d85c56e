#include "RunStop.h"

void RunStop::abort(int signal) {
  int none = 0;
  signal_.compare_exchange_strong(none, signal);
  latch_.trigger();
  deliver(Kind::Abort, signal);
}

void RunStop::finishImage(int signal) { deliver(Kind::FinishImage, signal); }

bool RunStop::again() {
  if (!writingRow_.load() || latch_.isSet()) return true;
  latch_.trigger();
  return false;
}

// The listener is called under the lock, so that once listen({}) returns it is never called again.
void RunStop::deliver(Kind kind, int signal) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (listener_) return listener_(kind, signal);
  (kind == Kind::Abort ? pendingAbort_ : pendingFinish_) = true;
  pendingSignal_ = signal;
}

void RunStop::listen(Listener listener) {
  std::lock_guard<std::mutex> lock(mutex_);
  listener_ = std::move(listener);
  if (!listener_) return;
  if (pendingAbort_) listener_(Kind::Abort, pendingSignal_);
  else if (pendingFinish_) listener_(Kind::FinishImage, pendingSignal_);
  pendingAbort_ = pendingFinish_ = false;
}

void RunStop::writingRow() {
  latch_.reset();
  writingRow_.store(true);
}
