#include "DialogLayout.h"

#include <algorithm>

DialogLayout::~DialogLayout() {
  if (font_) ::DeleteObject(font_);
}

void DialogLayout::start(HWND dialog, UINT dpi, std::vector<int> ownFont) {
  dialog_ = dialog;
  dpi_ = dpi;
  ownFont_ = std::move(ownFont);
}

void DialogLayout::dpiChanged(UINT dpi) {
  if (!dialog_ || dpi == dpi_ || dpi == 0) return;
  const int to = static_cast<int>(dpi), from = static_cast<int>(dpi_);
  LOGFONTW described{};
  const auto current = reinterpret_cast<HFONT>(::SendMessageW(dialog_, WM_GETFONT, 0, 0));
  HFONT made = nullptr;
  if (current && ::GetObjectW(current, sizeof described, &described)) {
    described.lfHeight = ::MulDiv(described.lfHeight, to, from);
    described.lfWidth = ::MulDiv(described.lfWidth, to, from);
    made = ::CreateFontIndirectW(&described);
  }
  if (made) ::SendMessageW(dialog_, WM_SETFONT, reinterpret_cast<WPARAM>(made), FALSE);
  for (HWND child = ::GetWindow(dialog_, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(HWND_DESKTOP, dialog_, reinterpret_cast<POINT*>(&r), 2);
    ::SetWindowPos(child, nullptr, ::MulDiv(r.left, to, from), ::MulDiv(r.top, to, from),
                   ::MulDiv(r.right - r.left, to, from), ::MulDiv(r.bottom - r.top, to, from),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    const bool own = std::find(ownFont_.begin(), ownFont_.end(), ::GetDlgCtrlID(child)) != ownFont_.end();
    if (made && !own) ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
  }
  if (made) {
    if (font_) ::DeleteObject(font_);  // no control uses it any more
    font_ = made;
  }
  dpi_ = dpi;
}
