#pragma once
#include <windows.h>

#include <string>

class DeviceList;

// What the two Win32 set-up dialogs share: the drop-down list of stored entries rendered from the
// working list, edit texts in UTF-8, and the modal run whose dialog procedure hands every message
// to the dialog object. Called on the dialog's thread only.
namespace devicelistcontrols {

// Shows the list's rows and selection in the drop-down list, and "Delete" enabled or not.
void showList(HWND dialog, const DeviceList& list, bool deleteEnabled);
// The selected row of the drop-down list, -1 for none.
int selectedRow(HWND dialog);
std::string text(HWND dialog, int id);
void setText(HWND dialog, int id, const std::string& text);
// The validation message of both dialogs: "Device properties", error icon.
void showError(HWND dialog, const std::string& text);

// Runs the dialog of the layout modally with handle(hwnd, message, wParam, lParam) as its
// procedure (WM_INITDIALOG included); true when it ended with OK.
template <typename Dialog>
bool runModal(HWND owner, int layout, Dialog& dialog) {
  const auto proc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> INT_PTR {
    if (message == WM_INITDIALOG) ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    auto* self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    return self ? self->handle(hwnd, message, wParam, lParam) : FALSE;
  };
  return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(layout), owner, proc,
                           reinterpret_cast<LPARAM>(&dialog)) == IDOK;
}

}  // namespace devicelistcontrols
