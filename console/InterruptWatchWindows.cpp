#include "InterruptWatch.h"

// Windows: the console's control events stand for the signals. Ctrl-C and Ctrl-Break are SIGINT,
// a closed console window is SIGHUP, a log-off or shut-down SIGTERM. The system calls the handler
// on a thread of its own, which is the watcher here. A program that started this one (the fleet)
// may also set its stop event, which counts as Ctrl-Break; a thread waits for it.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>

#include "StopEventWindows.h"

namespace {

constexpr int kSigHup = 1;
constexpr int kSigInt = 2;
constexpr int kSigTerm = 15;
// After a close, log-off or shut-down event the system ends the process once the handler
// returns (at the latest after 5 s): the handler waits this long for the stop to finish.
constexpr DWORD kCloseGraceMs = 4000;

int signalOf(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: return kSigInt;
    case CTRL_CLOSE_EVENT: return kSigHup;
    default: return kSigTerm;
  }
}

}  // namespace

const int InterruptWatch::kSignals[3] = {kSigInt, kSigTerm, kSigHup};
// Windows has no gentle stop signal: a fleet's child stops gently when the fleet's process ends.
// The number is SIGUSR1's, for the exit status of a gentle stop that ran out of time.
const int InterruptWatch::kFinishSignal = 10;

namespace {
// The control handler's only state: the watch's delivery.
std::atomic<std::function<void(int)>*> g_deliver{nullptr};

BOOL WINAPI onControl(DWORD event) {
  std::function<void(int)>* deliver = g_deliver.load();
  if (!deliver) return FALSE;
  (*deliver)(signalOf(event));
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) ::Sleep(kCloseGraceMs);
  return TRUE;
}
}  // namespace

struct InterruptWatch::Impl {
  Handler first, again, finish;
  std::mutex mutex;
  bool seen = false;
  std::function<void(int)> deliver = [this](int signal) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!seen) first(signal);
    else again(signal);
    seen = true;
  };
  HANDLE stopEvent = nullptr;  // the starter's, when it made one
  HANDLE fleet = nullptr;      // the fleet that started this program, watched for a gentle stop
  HANDLE quit = nullptr;
  std::thread stopWatcher;

  // The stop event the starter let this process inherit, when its environment names one: the
  // handle must be an event of this process's table (a value copied from elsewhere is ignored).
  static HANDLE inheritedStopEvent() {
    const char* value = std::getenv(kStopEventVariable);
    if (!value || !*value) return nullptr;
    const auto inherited = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::strtoull(value, nullptr, 10)));
    HANDLE own = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), inherited, ::GetCurrentProcess(), &own, SYNCHRONIZE, FALSE, 0))
      return nullptr;
    ::CloseHandle(inherited);  // the copy is this process's own, not inherited by what it starts
    return own;
  }

  // The fleet named in the environment, when there is one and a gentle stop is wanted.
  void openFleet() {
    const char* pid = std::getenv(kFleetProcessVariable);
    if (!finish || !pid || !*pid) return;
    fleet = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::strtoul(pid, nullptr, 10)));
  }

  void watchStopEvent() {
    stopEvent = inheritedStopEvent();
    openFleet();
    if (!stopEvent && !fleet) return;
    quit = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    stopWatcher = std::thread([this] {
      HANDLE events[3] = {quit};
      DWORD count = 1;
      const DWORD stopAt = stopEvent ? count : MAXDWORD;
      if (stopEvent) events[count++] = stopEvent;
      const DWORD fleetAt = fleet ? count : MAXDWORD;
      if (fleet) events[count++] = fleet;
      for (;;) {
        const DWORD woke = ::WaitForMultipleObjects(count, events, FALSE, INFINITE);
        if (woke == WAIT_OBJECT_0 + stopAt) deliver(signalOf(CTRL_BREAK_EVENT));
        else if (woke == WAIT_OBJECT_0 + fleetAt) finish(kFinishSignal);
        else return;
        // A fleet that went away stays gone: only a stop is waited for from now on.
        if (woke == WAIT_OBJECT_0 + fleetAt && stopEvent) {
          events[1] = stopEvent;
          count = 2;
          continue;
        }
        return;
      }
    });
  }
};

InterruptWatch::InterruptWatch(Handler first, Handler again, Handler finish) : impl_(std::make_unique<Impl>()) {
  impl_->first = std::move(first);
  impl_->again = std::move(again);
  impl_->finish = std::move(finish);
  g_deliver.store(&impl_->deliver);
  ::SetConsoleCtrlHandler(onControl, TRUE);
  impl_->watchStopEvent();
}

InterruptWatch::~InterruptWatch() {
  ::SetConsoleCtrlHandler(onControl, FALSE);
  g_deliver.store(nullptr);
  if (impl_->quit) ::SetEvent(impl_->quit);
  if (impl_->stopWatcher.joinable()) impl_->stopWatcher.join();
  for (HANDLE h : {impl_->quit, impl_->stopEvent, impl_->fleet})
    if (h) ::CloseHandle(h);
  std::lock_guard<std::mutex> lock(impl_->mutex);  // a handler still delivering finishes first
}
