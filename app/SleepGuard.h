#pragma once
#include <memory>
#include <string>

// Keeps the computer from sleeping and holds off a shutdown while a load writes to a receiver: a
// flash cut short by a suspend or a restart can leave the receiver unable to start. Taken before
// the load's first byte and released when the guard is destroyed, whatever the outcome.
// Linux: a logind inhibitor lock for "sleep:shutdown" ("block" where the system permits it, else
// "delay"), held as the file descriptor logind returns. Windows: the thread's execution state
// (system required) and a shutdown block reason on a hidden window that answers the session's
// end. Taken and destroyed on the run's own thread; never blocks longer than kAskMs.
class SleepGuard {
 public:
  // How long the system is given to answer the request for the lock.
  static constexpr int kAskMs = 2000;

  virtual ~SleepGuard() = default;

  // Takes the lock, named by why ("Writing firmware to VR-100 at /dev/ttyUSB0: main.ldp"). Always
  // returns a guard; when the system would not give the lock, one that holds nothing, and warning
  // says why (the load goes on).
  static std::unique_ptr<SleepGuard> take(const std::string& why, std::string& warning);

  // What the guard holds: "block", "delay", or "" for nothing.
  virtual std::string mode() const = 0;

 protected:
  SleepGuard() = default;
};
