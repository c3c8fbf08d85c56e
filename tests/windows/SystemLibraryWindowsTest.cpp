// Libraries come from the system's folder only: "planted.dll", which sits beside this test as a
// DLL downloaded next to the program would, is loaded by the standard search and never once the
// search is restricted, nor by SystemLibrary.
#include <gtest/gtest.h>
#include <windows.h>

#include "SystemLibrary.h"

TEST(SystemLibrary, APlantedLibraryIsNeverLoaded) {
  const HMODULE standard = ::LoadLibraryW(L"planted.dll");
  ASSERT_NE(standard, nullptr) << "the planted library beside the test is found by the standard search";
  ::FreeLibrary(standard);
  EXPECT_FALSE(SystemLibrary(L"planted.dll"));
  EXPECT_TRUE(SystemLibrary(L"kernel32.dll"));
  EXPECT_NE(SystemLibrary(L"kernel32.dll").function<FARPROC>("GetTickCount"), nullptr);
  SystemLibrary::restrictSearch();
  EXPECT_EQ(::LoadLibraryW(L"planted.dll"), nullptr);
}
