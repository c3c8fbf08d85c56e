#include "CBluetoothDialog.h"

#include "BluetoothInquiry.h"
#include "ControlIds.h"
#include "DeviceListControls.h"
#include "DeviceStore.h"
#include "WindowsText.h"

using namespace devicelistcontrols;

namespace {
constexpr int kBluetoothLayout = 135;
// What the search disables while it runs: both lists and three buttons.
constexpr int kSearchDisables[] = {ids::kDeviceList, ids::kFoundList, ids::kDeviceDelete, ids::kDeviceAdd,
                                   ids::kDeviceNew};
}  // namespace

CBluetoothDialog::CBluetoothDialog(bool bluetoothAvailable)
    : search([] { return CMNC::SearchDevices(); }), model_(devicestore::loadBluetooth(bluetoothAvailable)) {}

bool CBluetoothDialog::run(HWND owner) { return runModal(owner, kBluetoothLayout, *this); }

void CBluetoothDialog::save() const { devicestore::saveBluetooth(model_.devicesToStore()); }

bool CBluetoothDialog::command(HWND hwnd, int id, int notification) {
  using namespace ids;
  model_.setDescription(text(hwnd, kDescriptionEdit));
  if (id == kDeviceList && notification == CBN_SELCHANGE) {
    model_.selectStored(selectedRow(hwnd));
  } else if (id == kFoundList && notification == LBN_SELCHANGE) {
    const auto row = ::SendDlgItemMessageW(hwnd, kFoundList, LB_GETCURSEL, 0, 0);
    model_.selectFound(row == LB_ERR ? -1 : static_cast<int>(row));
  } else if (id == kDeviceAdd && notification == BN_CLICKED) {
    model_.addOrUpdate();
  } else if (id == kDeviceNew && notification == BN_CLICKED) {
    runSearch(hwnd);
  } else if (id == kDeviceDelete && notification == BN_CLICKED) {
    model_.deleteSelected();
  } else {
    return false;
  }
  return true;
}

void CBluetoothDialog::runSearch(HWND hwnd) {
  const HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  for (int id : kSearchDisables) ::EnableWindow(::GetDlgItem(hwnd, id), FALSE);
  ::UpdateWindow(hwnd);
  model_.searched(search());
  const HWND found = ::GetDlgItem(hwnd, ids::kFoundList);
  ::SendMessageW(found, LB_RESETCONTENT, 0, 0);
  for (const CMNC::CBTRemoteDevice& device : model_.found()) {
    const std::wstring name = CMNC::windowstext::wide(device.name);
    ::SendMessageW(found, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  }
  for (int id : kSearchDisables) ::EnableWindow(::GetDlgItem(hwnd, id), TRUE);
  ::SetCursor(previous);
}

void CBluetoothDialog::render(HWND hwnd) {
  using namespace ids;
  showList(hwnd, model_.list(), model_.deleteEnabled());
  ::SendDlgItemMessageW(hwnd, kFoundList, LB_SETCURSEL, static_cast<WPARAM>(model_.selectedFound()), 0);
  setText(hwnd, kDescriptionEdit, model_.description());
  setText(hwnd, kDeviceAdd, model_.addLabel());
  ::EnableWindow(::GetDlgItem(hwnd, kDeviceAdd), model_.addEnabled());
}
