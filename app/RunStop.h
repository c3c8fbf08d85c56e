#pragma once
#include <atomic>
#include <functional>
#include <mutex>

#include "AbortSignal.h"

// How a run is asked to stop from outside (a stop signal, the fleet going away). Any thread may
// ask; the run hears it on its own thread through the listener it sets, also for a request made
// before it listened. The abort latch cuts short at once what blocks the run's thread (a source's
// digest, the history's waits).
class RunStop {
 public:
  enum class Kind { Abort, FinishImage };
  using Listener = std::function<void(Kind kind, int signal)>;

  // Any thread: stop now, as "Abort" would; signal is the stop signal's number.
  void abort(int signal);
  // Any thread: end once the image being written is flashed (SIGUSR1).
  void finishImage(int signal);
  // Any thread: another stop signal came. True when the program should end at once: nothing is
  // being written that the signal would spoil (only the run's final row is worth a wait, which
  // this signal cuts short).
  bool again();

  // The run's thread: requests go to listener from now on (one made before is passed on at once);
  // an empty one stops listening. The listener is called under a lock: it only posts.
  void listen(Listener listener);
  // The run writes its final row: the latch is cleared so that the stop that ended the load does
  // not cut short the row that records it; a further signal cuts it short.
  void writingRow();
  // The latch a stop sets, for waits that watch it.
  const CMNC::AbortSignal& latch() const { return latch_; }
  // The signal of the first stop asked for; 0 while none was.
  int signal() const { return signal_.load(); }

 private:
  void deliver(Kind kind, int signal);

  std::mutex mutex_;
  Listener listener_;
  bool pendingAbort_ = false, pendingFinish_ = false;
  int pendingSignal_ = 0;
  std::atomic<int> signal_{0};
  std::atomic<bool> writingRow_{false};
  CMNC::AbortSignal latch_;
};
