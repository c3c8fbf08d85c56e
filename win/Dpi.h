#pragma once
#include <windows.h>

// The dots per inch a window is shown at, and what follows from it. The program declares
// per-monitor DPI awareness (v2): a dialog opens laid out at its screen's DPI, and on WM_DPICHANGED
// the program lays it out anew (DialogLayout) and remakes what it makes itself (the fixed-pitch
// font, the icons).
namespace dpi {

constexpr UINT kStandard = 96;  // 100%

// The window's DPI (GetDpiForWindow where the system has it, else the screen's).
UINT of(HWND window);
// A system metric (SM_CXSMICON, SM_CXICON...) at the DPI.
int metric(int index, UINT dpi);
// A length in pixels at 96 DPI, at the DPI.
inline int scale(int pixels, UINT dpi) { return ::MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kStandard)); }

}  // namespace dpi
