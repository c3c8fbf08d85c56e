// The fleet's children on Windows: each inherits its own standard handles and its stop event and
// nothing else the fleet holds; the stop reaches it through that event, and an event made under
// the name a stop event once had, by anyone who guessed it, stops nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "ChildWait.h"

namespace {

std::string probePath() {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self);
  path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"vestrel-childprobe.exe";
  return std::string(path.begin(), path.end());
}

// What the child wrote so far, read until it holds text or the time is up.
std::string readUntil(ChildProcess& child, ChildWait& wait, const std::string& text, int timeoutMs) {
  static std::string seen;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (seen.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    wait.wait({&child}, 100);
    char buffer[256];
    std::size_t got = 0;
    while (child.read(ChildProcess::Stream::Out, buffer, sizeof buffer, got) == ChildProcess::Read::Data)
      seen.append(buffer, got);
  }
  return seen;
}

}  // namespace

TEST(ChildProcessWindows, InheritsOnlyItsOwnAndStopsOnlyByItsOwnEvent) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE foreign = ::CreateEventW(&inherit, TRUE, TRUE, nullptr);  // the fleet's, inheritable
  ASSERT_NE(foreign, nullptr);
  ChildWait wait;
  ChildProcess child(wait);
  std::string error;
  ASSERT_TRUE(child.start(probePath(), {std::to_string(reinterpret_cast<std::uintptr_t>(foreign))}, {}, error)) << error;
  std::string out = readUntil(child, wait, "pid ", 10000);
  EXPECT_NE(out.find("foreign not-inherited"), std::string::npos) << out;
  EXPECT_NE(out.find("stop-event given"), std::string::npos) << out;
  out = readUntil(child, wait, "\n", 2000);
  const std::size_t at = out.find("pid ");
  ASSERT_NE(at, std::string::npos) << out;
  const unsigned long pid = std::stoul(out.substr(at + 4));

  // Someone guesses the name a stop event once had, and sets it: the child goes on.
  const std::wstring guessed = L"Local\\vestrel-stop-" + std::to_wstring(pid);
  HANDLE squatted = ::CreateEventW(nullptr, TRUE, TRUE, guessed.c_str());
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  EXPECT_EQ(readUntil(child, wait, "stopped", 100).find("stopped"), std::string::npos);

  child.stop(2);
  out = readUntil(child, wait, "stopped", 5000);
  EXPECT_NE(out.find("stopped 2"), std::string::npos) << out;
  ChildExit exit;
  for (int i = 0; i < 100 && !child.reap(exit); ++i) wait.wait({&child}, 100);
  ::CloseHandle(squatted);
  ::CloseHandle(foreign);
}
