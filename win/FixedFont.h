#pragma once
#include <windows.h>

#include <vector>

// The wizard's fixed-pitch font, "Courier New" of 12 pixels at 96 DPI (9 points), on the log box,
// the spinner and the About box's usage text: made for the DPI its window is shown at and made
// anew when that changes (WM_DPICHANGED). Owned by the window's object; used on its thread.
class FixedFont {
 public:
  static constexpr int kPixelsAt96Dpi = 12;

  FixedFont() = default;
  ~FixedFont();
  FixedFont(const FixedFont&) = delete;
  FixedFont& operator=(const FixedFont&) = delete;

  // Sets the font on the window's controls, at the window's DPI.
  void apply(HWND window, std::vector<int> controlIds);
  // The window moved to a screen of another DPI: the font at that DPI on the same controls.
  void dpiChanged(UINT dpi);
  HFONT handle() const { return font_; }

 private:
  void set(UINT dpi);

  HWND window_ = nullptr;
  std::vector<int> ids_;
  HFONT font_ = nullptr;
};
