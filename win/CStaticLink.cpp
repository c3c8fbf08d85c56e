#include "CStaticLink.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>

namespace {

constexpr UINT_PTR kSubclassId = 1;
constexpr COLORREF kUnvisited = RGB(0, 0, 255);
constexpr COLORREF kVisited = RGB(128, 0, 128);
const wchar_t* const kVisitedName = L"VestrelLinkVisited";
const wchar_t* const kFontName = L"VestrelLinkFont";

}  // namespace

void CStaticLink::attach(HWND control) {
  if (!control) return;
  ::SetWindowSubclass(control, procedure, kSubclassId, 0);
  // The parent paints static controls through WM_CTLCOLORSTATIC; the link asks for its own colour.
  LONG_PTR style = ::GetWindowLongPtrW(control, GWL_STYLE);
  ::SetWindowLongPtrW(control, GWL_STYLE, style | SS_NOTIFY);
}

void CStaticLink::open(HWND hwnd) {
  wchar_t text[1024] = {};
  ::GetWindowTextW(hwnd, text, 1024);
  const auto result = reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, L"open", text, nullptr, nullptr, SW_SHOWNORMAL));
  if (result <= 32) {
    ::MessageBeep(MB_OK);
    return;
  }
  ::SetPropW(hwnd, kVisitedName, reinterpret_cast<HANDLE>(1));
  ::InvalidateRect(hwnd, nullptr, TRUE);
}

LRESULT CALLBACK CStaticLink::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                        DWORD_PTR /*data*/) {
  switch (message) {
    case WM_SETCURSOR:
      ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
      return TRUE;
    case WM_LBUTTONUP:
      open(hwnd);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS;
    case WM_CHAR:
      if (wParam == L' ') open(hwnd);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      const HDC dc = ::BeginPaint(hwnd, &paint);
      HFONT font = reinterpret_cast<HFONT>(::GetPropW(hwnd, kFontName));
      if (!font) {  // the dialog's font, underlined, made on the first paint
        LOGFONTW logical{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(::GetParent(hwnd), WM_GETFONT, 0, 0)), sizeof logical, &logical);
        logical.lfUnderline = TRUE;
        font = ::CreateFontIndirectW(&logical);
        ::SetPropW(hwnd, kFontName, font);
      }
      const HGDIOBJ old = ::SelectObject(dc, font);
      ::SetTextColor(dc, ::GetPropW(hwnd, kVisitedName) ? kVisited : kUnvisited);
      ::SetBkMode(dc, TRANSPARENT);
      RECT area;
      ::GetClientRect(hwnd, &area);
      wchar_t text[1024] = {};
      ::GetWindowTextW(hwnd, text, 1024);
      ::DrawTextW(dc, text, -1, &area, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
      ::SelectObject(dc, old);
      ::EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_NCDESTROY:
      if (HANDLE font = ::RemovePropW(hwnd, kFontName)) ::DeleteObject(font);
      ::RemovePropW(hwnd, kVisitedName);
      ::RemoveWindowSubclass(hwnd, procedure, kSubclassId);
      break;
    default: break;
  }
  return ::DefSubclassProc(hwnd, message, wParam, lParam);
}
