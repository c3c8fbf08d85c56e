#pragma once
#include <windows.h>

#include <string>

// Saves what a window's client area shows on the screen as a PNG file (for the README's pictures of the
// Windows dialog, taken under Wine and Xvfb). False when the window could not be read.
bool saveWindowPicture(HWND window, const std::string& path);
