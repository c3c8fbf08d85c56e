#include "InterruptWatch.h"

// Windows: the console's control events stand for the signals. Ctrl-C and Ctrl-Break are SIGINT,
// a closed console window is SIGHUP, a log-off or shut-down SIGTERM. The system calls the handler
// on a thread of its own, which is the watcher here. A program that started this one (the fleet)
// may also set its stop event, which counts as Ctrl-Break; a thread waits for it.
#include <windows.h>

#include <atomic>
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
// Windows has no gentle stop signal: a fleet's job object ends its children with it.
const int InterruptWatch::kFinishSignal = 0;

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
  Handler first, again;
  std::mutex mutex;
  bool seen = false;
  std::function<void(int)> deliver = [this](int signal) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!seen) first(signal);
    else again(signal);
    seen = true;
  };
  HANDLE stopEvent = nullptr;  // the starter's, when it made one
  HANDLE quit = nullptr;
  std::thread stopWatcher;

  void watchStopEvent() {
    stopEvent = ::OpenEventW(SYNCHRONIZE, FALSE, stopEventName(::GetCurrentProcessId()).c_str());
    if (!stopEvent) return;
    quit = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    stopWatcher = std::thread([this] {
      const HANDLE events[2] = {quit, stopEvent};
      if (::WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) deliver(signalOf(CTRL_BREAK_EVENT));
    });
  }
};

InterruptWatch::InterruptWatch(Handler first, Handler again, Handler) : impl_(std::make_unique<Impl>()) {
  impl_->first = std::move(first);
  impl_->again = std::move(again);
  g_deliver.store(&impl_->deliver);
  ::SetConsoleCtrlHandler(onControl, TRUE);
  impl_->watchStopEvent();
}

InterruptWatch::~InterruptWatch() {
  ::SetConsoleCtrlHandler(onControl, FALSE);
  g_deliver.store(nullptr);
  if (impl_->quit) ::SetEvent(impl_->quit);
  if (impl_->stopWatcher.joinable()) impl_->stopWatcher.join();
  for (HANDLE h : {impl_->quit, impl_->stopEvent})
    if (h) ::CloseHandle(h);
  std::lock_guard<std::mutex> lock(impl_->mutex);  // a handler still delivering finishes first
}
