#include "CAboutDlg.h"

#include <vector>

#include "CStaticLink.h"
#include "CommandLine.h"
#include "FixedFont.h"
#include "SystemLibrary.h"
#include "WindowsText.h"

namespace {

constexpr int kAboutLayout = 100;
constexpr int kProductLine = 1018;
constexpr int kCopyrightLine = 1017;
constexpr int kLink = 1021;
constexpr int kUsage = 1023;

}  // namespace

// The version resource is read through the system's version.dll, loaded from the system's folder
// only when the box opens: a version.dll beside the program is never loaded.
std::string CAboutDlg::versionString(const wchar_t* name) {
  using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
  const SystemLibrary library(L"version.dll");
  const auto infoSize = library.function<SizeFn>("GetFileVersionInfoSizeW");
  const auto infoOf = library.function<InfoFn>("GetFileVersionInfoW");
  const auto query = library.function<QueryFn>("VerQueryValueW");
  if (!infoSize || !infoOf || !query) return {};
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  DWORD handle = 0;
  const DWORD size = infoSize(path, &handle);
  if (size == 0) return {};
  std::vector<uint8_t> info(size);
  if (!infoOf(path, 0, size, info.data())) return {};
  wchar_t* value = nullptr;
  UINT length = 0;
  const std::wstring key = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
  if (!query(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return {};
  return CMNC::windowstext::utf8(std::wstring(value, length > 0 ? length - 1 : 0));
}

void CAboutDlg::run(HWND owner) {
  FixedFont usageFont;
  ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kAboutLayout), owner, dialogProc,
                    reinterpret_cast<LPARAM>(&usageFont));
}

void CAboutDlg::initialise(HWND hwnd, FixedFont& usageFont) {
  using CMNC::windowstext::wide;
  ::SetDlgItemTextW(hwnd, kCopyrightLine, wide("Copyright " + versionString(L"LegalCopyright")).c_str());
  ::SetDlgItemTextW(hwnd, kProductLine,
                    wide(versionString(L"ProductName") + " version " + versionString(L"ProductVersion")).c_str());
  CStaticLink::attach(::GetDlgItem(hwnd, kLink));
  usageFont.apply(hwnd, {kUsage});
  ::SetDlgItemTextW(hwnd, kUsage, wide(usageText() + "\r\n" + platformUsageNotes()).c_str());
}

INT_PTR CALLBACK CAboutDlg::dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
      initialise(hwnd, *reinterpret_cast<FixedFont*>(lParam));
      return TRUE;
    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      ::SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      if (auto* font = reinterpret_cast<FixedFont*>(::GetWindowLongPtrW(hwnd, DWLP_USER))) font->dpiChanged(HIWORD(wParam));
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) ::EndDialog(hwnd, LOWORD(wParam));
      return TRUE;
    default: return FALSE;
  }
}
