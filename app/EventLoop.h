#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

// A plain event loop for a thread without a window system (a load's own): any thread posts work,
// the thread in run() does it in the order posted until quit().
class EventLoop {
 public:
  // Queues fn; any thread. Ignored once the loop has quit.
  void post(std::function<void()> fn);
  // Queues fn once delay has passed (on the steady clock); any thread. Dropped when the loop quits
  // first.
  void postAfter(std::chrono::milliseconds delay, std::function<void()> fn);
  // Runs posted work until quit() is called (from a posted function or another thread).
  void run();
  void quit();
  // Runs posted work (waiting for it) until done() is true after a piece, or the loop quit.
  void runUntil(const std::function<bool()>& done);

 private:
  using Time = std::chrono::steady_clock::time_point;
  // The next piece of work, waited for; false when the loop quit.
  bool take(std::function<void()>& fn);
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
  std::multimap<Time, std::function<void()>> timers_;
  bool quit_ = false;
};
