#include "EventLoop.h"

void EventLoop::post(std::function<void()> fn) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (quit_) return;
    queue_.push_back(std::move(fn));
  }
  wake_.notify_one();
}

void EventLoop::run() {
  for (;;) {
    std::function<void()> fn;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
      if (quit_) {
        queue_.clear();  // work still queued after the end is dropped
        return;
      }
      fn = std::move(queue_.front());
      queue_.pop_front();
    }
    fn();
  }
}

void EventLoop::quit() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
}
