#include "WindowIcons.h"

#include <initializer_list>

#include "Dpi.h"

namespace {
constexpr int kIconResource = 1;

HICON loadIcon(int widthMetric, int heightMetric, UINT dpiValue) {
  return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                         dpi::metric(widthMetric, dpiValue), dpi::metric(heightMetric, dpiValue),
                                         LR_DEFAULTCOLOR));
}
}  // namespace

WindowIcons::~WindowIcons() {
  for (HICON icon : {small_, big_})
    if (icon) ::DestroyIcon(icon);
}

void WindowIcons::apply(HWND window, UINT dpiValue) {
  const HICON small = loadIcon(SM_CXSMICON, SM_CYSMICON, dpiValue);
  const HICON big = loadIcon(SM_CXICON, SM_CYICON, dpiValue);
  ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  for (HICON old : {small_, big_})
    if (old) ::DestroyIcon(old);
  small_ = small;
  big_ = big;
}
