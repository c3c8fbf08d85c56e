#pragma once
#include <windows.h>

#include <vector>

// A dialog laid out anew when it moves to a screen of another DPI: every control's place and size
// scaled by the change, the dialog's font made at the new DPI and given to every control but those
// with a font of their own (FixedFont's). Done by the window itself, the same on every system
// (Wine's dialog manager does not re-lay out a dialog). Owned by the window; used on its thread.
class DialogLayout {
 public:
  DialogLayout() = default;
  ~DialogLayout();
  DialogLayout(const DialogLayout&) = delete;
  DialogLayout& operator=(const DialogLayout&) = delete;

  // The dialog as it opened, at its DPI; ownFont: the ids of controls whose font is made elsewhere.
  void start(HWND dialog, UINT dpi, std::vector<int> ownFont);
  // The dialog now shows at dpi: its controls re-laid, its font remade.
  void dpiChanged(UINT dpi);
  UINT dpi() const { return dpi_; }

 private:
  HWND dialog_ = nullptr;
  UINT dpi_ = 96;
  std::vector<int> ownFont_;
  HFONT font_ = nullptr;  // the dialog's font at dpi_, once made here
};
