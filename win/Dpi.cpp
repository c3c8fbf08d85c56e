#include "Dpi.h"

namespace dpi {
namespace {

// Windows 10 (1607) and later; looked up at run time so that the program still starts where
// they are missing.
template <typename Function>
Function user32(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

UINT screenDpi() {
  const HDC screen = ::GetDC(nullptr);
  const int value = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ::ReleaseDC(nullptr, screen);
  return value > 0 ? static_cast<UINT>(value) : kStandard;
}

}  // namespace

UINT of(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = user32<GetDpiForWindowFn>("GetDpiForWindow");
  const UINT value = getDpiForWindow && window ? getDpiForWindow(window) : 0;
  return value ? value : screenDpi();
}

int metric(int index, UINT dpiValue) {
  using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
  static const auto forDpi = user32<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
  if (forDpi) return forDpi(index, dpiValue);
  return ::MulDiv(::GetSystemMetrics(index), static_cast<int>(dpiValue), static_cast<int>(screenDpi()));
}

}  // namespace dpi
