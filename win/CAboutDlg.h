#pragma once
#include <windows.h>

#include <string>

#include "FixedFont.h"

// The About box (layout 100): the product line and the copyright line from the program's own
// version resource, the web link, and the command line's usage text.
class CAboutDlg {
 public:
  static void run(HWND owner);
  // A string of the version resource's US English table ("ProductName"); empty when missing.
  static std::string versionString(const wchar_t* name);

 private:
  static INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static void initialise(HWND hwnd, FixedFont& usageFont);
};
