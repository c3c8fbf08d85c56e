#include "DeviceListControls.h"

#include <vector>

#include "ControlIds.h"
#include "DeviceList.h"
#include "WindowsText.h"

namespace devicelistcontrols {

void showList(HWND dialog, const DeviceList& list, bool deleteEnabled) {
  const HWND box = ::GetDlgItem(dialog, ids::kDeviceList);
  ::SendMessageW(box, CB_RESETCONTENT, 0, 0);
  for (const std::string& row : list.rows()) {
    const std::wstring text = CMNC::windowstext::wide(row);
    ::SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  ::SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(list.selectedRow()), 0);
  ::EnableWindow(::GetDlgItem(dialog, ids::kDeviceDelete), deleteEnabled);
}

int selectedRow(HWND dialog) {
  const auto row = ::SendDlgItemMessageW(dialog, ids::kDeviceList, CB_GETCURSEL, 0, 0);
  return row == CB_ERR ? -1 : static_cast<int>(row);
}

std::string text(HWND dialog, int id) {
  const HWND control = ::GetDlgItem(dialog, id);
  std::vector<wchar_t> buffer(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  ::GetWindowTextW(control, buffer.data(), static_cast<int>(buffer.size()));
  return CMNC::windowstext::utf8(buffer.data());
}

void setText(HWND dialog, int id, const std::string& text) {
  ::SetDlgItemTextW(dialog, id, CMNC::windowstext::wide(text).c_str());
}

void showError(HWND dialog, const std::string& text) {
  ::MessageBoxW(dialog, CMNC::windowstext::wide(text).c_str(), L"Device properties", MB_OK | MB_ICONERROR);
}

}  // namespace devicelistcontrols
