#include "SleepGuard.h"

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "WindowsText.h"

// On Windows: the execution state of the taking thread says the system is required (no idle
// sleep) until the guard goes, and a hidden top-level window on a thread of its own gives the
// shutdown block reason and answers WM_QUERYENDSESSION with "not now" (console programs have no
// window of their own that the session's end would ask).
namespace {

constexpr const wchar_t* kWindowClass = L"VestrelSleepGuard";

LRESULT CALLBACK guardProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_QUERYENDSESSION: return FALSE;  // a load is writing to a receiver: not now
    case WM_CLOSE: ::DestroyWindow(hwnd); return 0;
    case WM_DESTROY:
      ::ShutdownBlockReasonDestroy(hwnd);
      ::PostQuitMessage(0);
      return 0;
    default: return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

class WindowsGuard final : public SleepGuard {
 public:
  explicit WindowsGuard(const std::string& why) : why_(CMNC::windowstext::wide(why)) {
    // The call returns the state before it: asked twice, the second answer says whether the
    // first took (a thread that never set a state may have had none before).
    ::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    held_ = (::SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) & ES_SYSTEM_REQUIRED) != 0;
    std::unique_lock lock(mutex_);
    thread_ = std::thread([this] { windowThread(); });
    ready_.wait_for(lock, std::chrono::milliseconds(kAskMs), [this] { return started_; });
  }
  ~WindowsGuard() override {
    {
      std::lock_guard lock(mutex_);
      if (window_) ::PostMessageW(window_, WM_CLOSE, 0, 0);
      else if (threadId_) ::PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    }
    if (thread_.joinable()) thread_.join();
    ::SetThreadExecutionState(ES_CONTINUOUS);  // this thread no longer requires the system
  }
  std::string mode() const override { return held_ ? "system required" : ""; }

 private:
  void windowThread() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = guardProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kWindowClass;
    ::RegisterClassW(&wc);  // fails harmlessly when a guard before this one registered it
    HWND window = ::CreateWindowExW(0, kWindowClass, L"Vestrel", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                    wc.hInstance, nullptr);
    if (window) ::ShutdownBlockReasonCreate(window, why_.c_str());
    {
      std::lock_guard lock(mutex_);
      window_ = window;
      threadId_ = ::GetCurrentThreadId();
      started_ = true;
    }
    ready_.notify_all();
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    std::lock_guard lock(mutex_);
    window_ = nullptr;
  }

  std::wstring why_;
  bool held_ = false;  // the system is required while this thread holds the state
  std::mutex mutex_;
  std::condition_variable ready_;
  bool started_ = false;     // guarded by mutex_
  HWND window_ = nullptr;    // guarded by mutex_
  DWORD threadId_ = 0;       // guarded by mutex_
  std::thread thread_;
};

}  // namespace

std::unique_ptr<SleepGuard> SleepGuard::take(const std::string& why, std::string& warning) {
  auto guard = std::make_unique<WindowsGuard>(why);
  if (guard->mode().empty()) warning = "the system did not take the execution state";
  return guard;
}
