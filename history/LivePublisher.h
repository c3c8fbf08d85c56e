#pragma once
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "AbortSignal.h"
#include "LiveState.h"
#include "LiveThrottle.h"

// A run's live state sent to the line's server from a thread of its own, so that a server that is
// slow or away never holds the load: the latest state waits, older ones are dropped, and writes
// follow LiveThrottle. A server that cannot be reached is tried again later; the run loads on.
class LivePublisher {
 public:
  // How long the end is waited for when the publisher goes, before its write is cut short, and
  // how often that wait looks at the run's stop.
  static constexpr int kEndFlushMs = 3000;
  static constexpr int kStopSliceMs = 20;
  using Write = std::function<bool(const LiveState&)>;
  // Makes the write, given the publisher's own stop (set when the publisher goes, to cut a write
  // short); the write is then called on the publisher's thread alone.
  using MakeWrite = std::function<Write(const CMNC::AbortSignal* abort)>;

  // Writes to the line's server at url (LiveWriter). A set stop (the run's) ends the wait for the
  // end at once.
  explicit LivePublisher(const std::string& url, const CMNC::AbortSignal* stop = nullptr);
  // Writes through what make makes (the line service's station API); a set stop as above.
  LivePublisher(const MakeWrite& make, const CMNC::AbortSignal* stop);
  // Writes through write (a test's stand-in), on the publisher's thread.
  explicit LivePublisher(Write write);
  ~LivePublisher();
  LivePublisher(const LivePublisher&) = delete;
  LivePublisher& operator=(const LivePublisher&) = delete;

  // The run's state now (any thread; never blocks on the server). urgent: a start, a stage, what
  // the receiver is: written at once; else progress, written at most once a second.
  void publish(const LiveState& state, bool urgent);
  // The run's last state, with its outcome: written at once; nothing follows.
  void end(const LiveState& state);

 private:
  void start();
  void loop();
  static int64_t nowMs();
  const CMNC::AbortSignal* stop_ = nullptr;
  CMNC::AbortSignal abort_;
  Write write_;
  std::mutex mutex_;
  std::condition_variable wake_;
  LiveState state_;
  LiveThrottle throttle_;
  bool quit_ = false;
  std::thread thread_;
};
