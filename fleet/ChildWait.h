#pragma once
#include <memory>
#include <vector>

class ChildProcess;

// What the fleet's thread waits on: its children's output, a stop signal posted by the signal
// watcher, or a time-out. Linux polls the children's pipes and a self-pipe; Windows waits on one
// event that the children's readers and a posted signal set.
class ChildWait {
 public:
  ChildWait();
  ~ChildWait();
  ChildWait(const ChildWait&) = delete;
  ChildWait& operator=(const ChildWait&) = delete;

  // Any thread: ends the wait under way (or the next) with the signal.
  void post(int signal);
  // Any thread: ends the wait under way (or the next); a child's reader has something new.
  void wake();
  // The signal posted since the last call; 0 when none was.
  int takeSignal();
  // Blocks until one of the children has output or closed a stream, a signal is posted, or
  // timeoutMs passes.
  void wait(const std::vector<const ChildProcess*>& children, int timeoutMs);

 private:
  friend class ChildProcess;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
