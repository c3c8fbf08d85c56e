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

// Runs the dialog of the layout modally; true when it ended with OK. The dialog object renders
// its model (render(hwnd), also when the dialog opens), handles a control's notification
// (command(hwnd, id, notification), true when the model changed and wants rendering) and stores
// its list on OK (save()); Cancel ends without storing.
template <typename Dialog>
bool runModal(HWND owner, int layout, Dialog& dialog) {
  const auto proc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> INT_PTR {
    if (message == WM_INITDIALOG) ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    auto* self = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_INITDIALOG) {
      self->render(hwnd);
      return TRUE;
    }
    // A dialog with work of its own (a search on a thread, its progress) takes its messages.
    if constexpr (requires { self->message(hwnd, message, wParam, lParam); }) {
      if (message == WM_TIMER || message >= WM_APP) return self->message(hwnd, message, wParam, lParam);
    }
    if (message != WM_COMMAND) return FALSE;
    const int id = LOWORD(wParam);
    if (id == IDOK) {
      self->save(hwnd);
      ::EndDialog(hwnd, IDOK);
    } else if (id == IDCANCEL) {
      ::EndDialog(hwnd, IDCANCEL);
    } else if (self->command(hwnd, id, HIWORD(wParam))) {
      self->render(hwnd);
    }
    return TRUE;
  };
  return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(layout), owner, proc,
                           reinterpret_cast<LPARAM>(&dialog)) == IDOK;
}

}  // namespace devicelistcontrols
