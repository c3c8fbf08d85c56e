#include "AbortableCall.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "AbortSignal.h"

namespace CMNC {
namespace {

// What the waiter and the helper thread share; the last of them to let go closes the event.
struct CallState {
  CallState() : doneFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~CallState() {
    if (doneFd >= 0) ::close(doneFd);
  }
  CallState(const CallState&) = delete;
  CallState& operator=(const CallState&) = delete;
  const int doneFd;
  // Set by the helper once the work returned. Taking the mutex after the wake-up makes what the
  // work wrote visible to the waiter (the event alone is a kernel object no checker can follow).
  std::mutex mutex;
  bool done = false;
};

}  // namespace

AbortableCall::Outcome AbortableCall::run(const AbortSignal& abort, int timeoutMs, std::function<void()> work) {
  if (abort.isSet()) return Outcome::Aborted;
  auto state = std::make_shared<CallState>();
  if (state->doneFd < 0) {  // no event to wait on: run it here, as a plain call
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
      const uint64_t one = 1;
      [[maybe_unused]] const ssize_t n = ::write(state->doneFd, &one, sizeof one);
    }).detach();
  } catch (const std::system_error&) {  // no thread to be had: run it here, as a plain call
    work();
    return Outcome::Done;
  }
  const AbortSignal::Wait w = abort.wait(state->doneFd, POLLIN, timeoutMs);
  if (w == AbortSignal::Wait::Aborted) return Outcome::Aborted;
  std::lock_guard<std::mutex> lock(state->mutex);
  return state->done ? Outcome::Done : Outcome::Timeout;
}

}  // namespace CMNC
