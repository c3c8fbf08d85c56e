#pragma once
#include <windows.h>

// A window's icons from the program's icon resource: the small one (title bar) and the big one
// (Alt-Tab), each at the size the system wants at the window's DPI, so the icon file's 16-pixel
// picture is used where 16 pixels are wanted. Made anew when the DPI changes.
class WindowIcons {
 public:
  WindowIcons() = default;
  ~WindowIcons();
  WindowIcons(const WindowIcons&) = delete;
  WindowIcons& operator=(const WindowIcons&) = delete;

  void apply(HWND window, UINT dpi);

 private:
  HICON small_ = nullptr, big_ = nullptr;
};
