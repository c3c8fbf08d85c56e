#pragma once
#include <windows.h>

// The wizard's fixed-pitch font, "Courier New", for the log box, the spinner and the About box's
// usage text. The caller owns it (DeleteObject).
inline HFONT CreateFixedFont() {
  return ::CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, FIXED_PITCH | FF_MODERN, L"Courier New");
}
