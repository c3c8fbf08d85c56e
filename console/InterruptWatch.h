#pragma once
#include <functional>
#include <memory>

// Turns the signals that ask a program to stop (Ctrl-C, a termination request, a closed
// terminal) into calls on a thread of its own, so nothing but a byte write runs in the signal
// handler. The first signal calls first(signal); any later one calls again(signal), which is
// expected to end the program. While a watch exists it owns those signals; its destruction gives
// them back their default handling. One watch at a time.
//
// Given finish, the watch also owns the gentle stop signal (kFinishSignal: SIGUSR1 on Linux, none
// on Windows), which asks a run to end once the image being written is flashed: a fleet's child
// gets it when the fleet goes away. It calls finish(signal) and does not count as a first signal.
class InterruptWatch {
 public:
  using Handler = std::function<void(int signal)>;
  InterruptWatch(Handler first, Handler again, Handler finish = {});
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  // The signals watched, for help texts and tests.
  static const int kSignals[3];
  // The gentle stop's signal; 0 where the system has none.
  static const int kFinishSignal;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
