#include "CFileSelectorDialog.h"

#include "ControlIds.h"
#include "FirmwareImageSet.h"
#include "WindowsText.h"

namespace {
constexpr int kPickerLayout = 130;
}  // namespace

bool CFileSelectorDialog::run(HWND owner) {
  return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kPickerLayout), owner, dialogProc,
                           reinterpret_cast<LPARAM>(this)) == IDOK;
}

void CFileSelectorDialog::initialise(HWND hwnd) {
  const HWND list = ::GetDlgItem(hwnd, ids::kPickerList);
  for (std::size_t i = 0; i < names_.size(); ++i) {
    const std::wstring name = CMNC::windowstext::wide(names_[i]);
    const auto at = ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    ::SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(at), static_cast<LPARAM>(i));  // the list is sorted
  }
}

bool CFileSelectorDialog::accept(HWND hwnd) {
  const HWND list = ::GetDlgItem(hwnd, ids::kPickerList);
  const auto selected = ::SendMessageW(list, LB_GETCURSEL, 0, 0);
  if (selected == LB_ERR) return false;  // nothing chosen: the dialog stays
  const auto index = static_cast<std::size_t>(::SendMessageW(list, LB_GETITEMDATA, static_cast<WPARAM>(selected), 0));
  if (index >= names_.size()) return false;
  names_ = pickImage(names_, names_[index], includeLoaderImages_);
  return true;
}

INT_PTR CALLBACK CFileSelectorDialog::dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    reinterpret_cast<CFileSelectorDialog*>(lParam)->initialise(hwnd);
    return TRUE;
  }
  auto* self = reinterpret_cast<CFileSelectorDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  if (!self || message != WM_COMMAND) return FALSE;
  const int id = LOWORD(wParam);
  const int notification = HIWORD(wParam);
  if (id == ids::kPickerList && notification == LBN_SELCHANGE) {
    ::EnableWindow(::GetDlgItem(hwnd, IDOK), ::SendDlgItemMessageW(hwnd, id, LB_GETCURSEL, 0, 0) != LB_ERR);
  } else if ((id == ids::kPickerList && notification == LBN_DBLCLK) || id == IDOK) {
    if (self->accept(hwnd)) ::EndDialog(hwnd, IDOK);
  } else if (id == IDCANCEL) {
    ::EndDialog(hwnd, IDCANCEL);
  }
  return TRUE;
}
