#include "FixedFont.h"

#include "Dpi.h"

FixedFont::~FixedFont() {
  if (font_) ::DeleteObject(font_);
}

void FixedFont::apply(HWND window, std::vector<int> controlIds) {
  window_ = window;
  ids_ = std::move(controlIds);
  set(dpi::of(window));
}

void FixedFont::dpiChanged(UINT dpiValue) { set(dpiValue); }

void FixedFont::set(UINT dpiValue) {
  const HFONT made = ::CreateFontW(-dpi::scale(kPixelsAt96Dpi, dpiValue), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                   DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                   FIXED_PITCH | FF_MODERN, L"Courier New");
  if (!made) return;
  for (int id : ids_)
    if (HWND control = ::GetDlgItem(window_, id)) ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(made), TRUE);
  if (font_) ::DeleteObject(font_);  // no control uses it any more
  font_ = made;
}
