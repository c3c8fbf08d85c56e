#include "AbortableCall.h"

#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "AbortSignal.h"

namespace CMNC {
namespace {

// What the waiter and the helper thread share; the last of them to let go releases it.
struct CallState {
  // Triggered by the helper once the work returned.
  AbortSignal finished;
  // Set by the helper before it triggers. Taking the mutex after the wake-up makes what the work
  // wrote visible to the waiter (the event alone is a kernel object no checker can follow).
  std::mutex mutex;
  bool done = false;
};

}  // namespace

AbortableCall::Outcome AbortableCall::run(const AbortSignal& abort, int timeoutMs, std::function<void()> work) {
  if (abort.isSet()) return Outcome::Aborted;
  auto state = std::make_shared<CallState>();
  if (!state->finished.valid()) {  // no event to wait on: run it here, as a plain call
    work();
    return Outcome::Done;
  }
  try {
    std::thread([state, work] {
      work();
      {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->done = true;
      }
      state->finished.trigger();
    }).detach();
  } catch (const std::system_error&) {  // no thread to be had: run it here, as a plain call
    work();
    return Outcome::Done;
  }
  const AbortSignal::Wait w = abort.waitFor(state->finished, timeoutMs);
  if (w == AbortSignal::Wait::Aborted) return Outcome::Aborted;
  std::lock_guard<std::mutex> lock(state->mutex);
  return state->done ? Outcome::Done : Outcome::Timeout;
}

}  // namespace CMNC
