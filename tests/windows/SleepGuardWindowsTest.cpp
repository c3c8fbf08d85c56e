// The guard a load holds on Windows: the system required, a hidden window that gives the shutdown
// block reason and answers the session's end "not now", all gone with the guard.
#include <gtest/gtest.h>
#include <windows.h>

#include "SleepGuard.h"

namespace {
HWND guardWindow() { return ::FindWindowW(L"VestrelSleepGuard", nullptr); }
}  // namespace

TEST(SleepGuardWindows, HeldWhileItLivesAndGoneAfter) {
  for (int round = 0; round < 2; ++round) {  // a second load registers nothing twice
    SCOPED_TRACE(round);
    std::string warning;
    auto guard = SleepGuard::take("Writing firmware to VR-100 at COM5: main.ldp", warning);
    EXPECT_EQ(warning, "");
    EXPECT_EQ(guard->mode(), "system required");
    const HWND window = guardWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_EQ(::SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP), FALSE);
    guard.reset();
    EXPECT_EQ(guardWindow(), nullptr);
  }
}
