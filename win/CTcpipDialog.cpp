#include "CTcpipDialog.h"

#include "ControlIds.h"
#include "DeviceListControls.h"
#include "DeviceStore.h"
#include "WindowsText.h"

using namespace devicelistcontrols;

namespace {
constexpr int kTcpipLayout = 129;
}  // namespace

CTcpipDialog::CTcpipDialog() : model_(devicestore::loadHosts()) {}

bool CTcpipDialog::run(HWND owner) { return runModal(owner, kTcpipLayout, *this); }

void CTcpipDialog::save(HWND owner) const {
  const std::string warning = devicestore::saveHosts(model_.hostsToStore());
  if (!warning.empty())
    ::MessageBoxW(owner, CMNC::windowstext::wide(warning).c_str(), L"Set up TCP/IP connections", MB_OK | MB_ICONWARNING);
}

bool CTcpipDialog::command(HWND hwnd, int id, int notification) {
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
    return false;
  } else if (id == kDescriptionEdit && notification == EN_CHANGE) {
    const std::string typed = text(hwnd, kDescriptionEdit);
    const std::string shown = model_.descriptionEdited(typed);
    if (shown != typed) {
      setText(hwnd, kDescriptionEdit, shown);
      const int end = ::GetWindowTextLengthW(::GetDlgItem(hwnd, kDescriptionEdit));
      ::SendDlgItemMessageW(hwnd, kDescriptionEdit, EM_SETSEL, static_cast<WPARAM>(end), end);
    }
    return false;
  } else if (id == kDeviceAdd && notification == BN_CLICKED) {
    readFields(hwnd);
    const std::string error = model_.addOrUpdate();
    if (!error.empty()) {
      showError(hwnd, error);
      return false;
    }
  } else if (id == kDeviceNew && notification == BN_CLICKED) {
    model_.newHost();
  } else if (id == kDeviceDelete && notification == BN_CLICKED) {
    readFields(hwnd);
    model_.deleteSelected();
  } else {
    return false;
  }
  return true;
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
