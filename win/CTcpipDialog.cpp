#include "CTcpipDialog.h"

#include "ControlIds.h"
#include "DeviceListControls.h"
#include "DeviceStore.h"

using namespace devicelistcontrols;

namespace {
constexpr int kTcpipLayout = 129;
}  // namespace

CTcpipDialog::CTcpipDialog() : model_(devicestore::loadHosts()) {}

bool CTcpipDialog::run(HWND owner) { return runModal(owner, kTcpipLayout, *this); }

INT_PTR CTcpipDialog::handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  if (message == WM_INITDIALOG) {
    render(hwnd);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  command(hwnd, LOWORD(wParam), HIWORD(wParam));
  return TRUE;
}

void CTcpipDialog::command(HWND hwnd, int id, int notification) {
  using namespace ids;
  if (id == kDeviceList && notification == CBN_SELCHANGE) {
    readFields(hwnd);
    model_.select(selectedRow(hwnd));
  } else if (id == kDescriptionEdit && notification == EN_SETFOCUS) {
    readFields(hwnd);
    if (model_.descriptionFocused()) {
      setText(hwnd, kDescriptionEdit, model_.fields().description);
      ::SendDlgItemMessageW(hwnd, kDescriptionEdit, EM_SETSEL, 0, -1);
    }
    return;
  } else if (id == kDeviceAdd && notification == BN_CLICKED) {
    readFields(hwnd);
    const std::string error = model_.addOrUpdate();
    if (!error.empty()) return showError(hwnd, error);
  } else if (id == kDeviceNew && notification == BN_CLICKED) {
    model_.newHost();
  } else if (id == kDeviceDelete && notification == BN_CLICKED) {
    readFields(hwnd);
    model_.deleteSelected();
  } else if (id == IDOK) {
    devicestore::saveHosts(model_.hostsToStore());
    ::EndDialog(hwnd, IDOK);
    return;
  } else if (id == IDCANCEL) {
    ::EndDialog(hwnd, IDCANCEL);
    return;
  } else {
    return;
  }
  render(hwnd);
}

void CTcpipDialog::readFields(HWND hwnd) {
  using namespace ids;
  model_.setFields({text(hwnd, kHostEdit), text(hwnd, kHostPortEdit), text(hwnd, kPasswordEdit),
                    text(hwnd, kDescriptionEdit)});
}

void CTcpipDialog::render(HWND hwnd) {
  using namespace ids;
  showList(hwnd, model_.list(), model_.deleteEnabled());
  const HostFields& f = model_.fields();
  setText(hwnd, kHostEdit, f.host);
  setText(hwnd, kHostPortEdit, f.port);
  setText(hwnd, kPasswordEdit, f.password);
  setText(hwnd, kDescriptionEdit, f.description);
  setText(hwnd, kDeviceAdd, model_.addLabel());
  ::EnableWindow(::GetDlgItem(hwnd, kDeviceNew), model_.newEnabled());
}
