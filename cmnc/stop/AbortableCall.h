#pragma once
#include <functional>

namespace CMNC {

class AbortSignal;

// Runs a call that cannot be interrupted itself (a host-name look-up, a Bluetooth service search
// and connect) on a helper thread, and waits for it at most a bounded time, ending at once when
// the abort latch is set. A call given up on finishes on its helper thread; whatever it produced
// must be owned by something the work function shares (a std::shared_ptr it captured), so that
// it is released there when the call ends.
//
// Blocks the calling thread (any thread but the one that triggers the abort).
class AbortableCall {
 public:
  enum class Outcome { Done, Timeout, Aborted };

  static Outcome run(const AbortSignal& abort, int timeoutMs, std::function<void()> work);
};

}  // namespace CMNC
