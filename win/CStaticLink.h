#pragma once
#include <windows.h>

// A static control that is a web link: blue and underlined, a hand cursor, opened by the shell
// ("open") on a click or the space key, then purple. Subclasses the control in place and undoes
// it when the control is destroyed.
class CStaticLink {
 public:
  static void attach(HWND control);

 private:
  static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data);
  static void open(HWND hwnd);
};
