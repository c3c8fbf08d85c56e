#include "EventLoop.h"

void EventLoop::post(std::function<void()> fn) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (quit_) return;
    queue_.push_back(std::move(fn));
  }
  wake_.notify_one();
}

void EventLoop::postAfter(std::chrono::milliseconds delay, std::function<void()> fn) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (quit_) return;
    timers_.emplace(std::chrono::steady_clock::now() + delay, std::move(fn));
  }
  wake_.notify_one();
}

bool EventLoop::take(std::function<void()>& fn) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (quit_) {
      queue_.clear();  // work still queued after the end is dropped
      timers_.clear();
      return false;
    }
    // Timers that are due join the queue behind what was posted before them.
    const Time now = std::chrono::steady_clock::now();
    while (!timers_.empty() && timers_.begin()->first <= now) {
      queue_.push_back(std::move(timers_.begin()->second));
      timers_.erase(timers_.begin());
    }
    if (!queue_.empty()) break;
    if (timers_.empty()) wake_.wait(lock);
    else wake_.wait_until(lock, timers_.begin()->first);
  }
  fn = std::move(queue_.front());
  queue_.pop_front();
  return true;
}

void EventLoop::run() {
  std::function<void()> fn;
  while (take(fn)) fn();
}

void EventLoop::runUntil(const std::function<bool()>& done) {
  std::function<void()> fn;
  while (!done() && take(fn)) fn();
}

void EventLoop::quit() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
}
