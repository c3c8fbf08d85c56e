#include "CBluetoothDialog.h"

#include <thread>

#include "BluetoothInquiry.h"
#include "ControlIds.h"
#include "DeviceListControls.h"
#include "DeviceStore.h"
#include "WindowsText.h"

using namespace devicelistcontrols;

namespace {
constexpr int kBluetoothLayout = 135;
constexpr UINT kSearchDone = WM_APP + 2;     // the search's thread found what it found
constexpr UINT_PTR kProgressTimer = 1;       // the seconds the search has taken, counted
constexpr UINT kProgressMs = 1000;
// What the search disables while it runs: both lists and three buttons.
constexpr int kSearchDisables[] = {ids::kDeviceList, ids::kFoundList, ids::kDeviceDelete, ids::kDeviceAdd,
                                   ids::kDeviceNew};
}  // namespace

CBluetoothDialog::CBluetoothDialog(bool bluetoothAvailable)
    : search([] { return CMNC::SearchDevices(); }), model_(devicestore::loadBluetooth(bluetoothAvailable)) {}

CBluetoothDialog::~CBluetoothDialog() { abandonSearch(); }

bool CBluetoothDialog::run(HWND owner) {
  const bool stored = runModal(owner, kBluetoothLayout, *this);
  abandonSearch();  // a search under way when the window closed reports to nobody
  searching_.reset();
  return stored;
}

void CBluetoothDialog::save(HWND) const { devicestore::saveBluetooth(model_.devicesToStore()); }

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
  if (searching_) {  // "Stop": the search is abandoned, the window goes on at once
    abandonSearch();
    endSearch(hwnd);
    return;
  }
  searching_ = std::make_shared<Search_>();
  searching_->window = hwnd;
  searchStarted_ = ::GetTickCount64();
  for (int id : kSearchDisables) ::EnableWindow(::GetDlgItem(hwnd, id), FALSE);
  setText(hwnd, ids::kDeviceNew, "Stop");
  ::EnableWindow(::GetDlgItem(hwnd, ids::kDeviceNew), TRUE);
  showSearching(hwnd);
  ::SetTimer(hwnd, kProgressTimer, kProgressMs, nullptr);
  std::thread([state = searching_, inquire = search] {
    std::vector<CMNC::CBTRemoteDevice> devices = inquire();
    std::lock_guard lock(state->mutex);
    state->found = std::move(devices);
    if (state->window) ::PostMessageW(state->window, kSearchDone, 0, 0);
  }).detach();
}

void CBluetoothDialog::showSearching(HWND hwnd) {
  const HWND found = ::GetDlgItem(hwnd, ids::kFoundList);
  ::SendMessageW(found, LB_RESETCONTENT, 0, 0);
  const std::wstring text =
      L"Searching... " + std::to_wstring((::GetTickCount64() - searchStarted_) / 1000) + L" s";
  ::SendMessageW(found, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void CBluetoothDialog::abandonSearch() {
  if (!searching_) return;
  std::lock_guard lock(searching_->mutex);
  searching_->window = nullptr;  // its thread ends on its own; what it finds goes nowhere
}

// The search is over (found, or abandoned): the found list shows what it found, the controls are
// back.
void CBluetoothDialog::endSearch(HWND hwnd) {
  ::KillTimer(hwnd, kProgressTimer);
  std::vector<CMNC::CBTRemoteDevice> devices;
  if (searching_) {
    std::lock_guard lock(searching_->mutex);
    devices = std::move(searching_->found);
  }
  searching_.reset();
  model_.searched(std::move(devices));
  const HWND found = ::GetDlgItem(hwnd, ids::kFoundList);
  ::SendMessageW(found, LB_RESETCONTENT, 0, 0);
  for (const CMNC::CBTRemoteDevice& device : model_.found()) {
    const std::wstring name = CMNC::windowstext::wide(device.name);
    ::SendMessageW(found, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  }
  for (int id : kSearchDisables) ::EnableWindow(::GetDlgItem(hwnd, id), TRUE);
  setText(hwnd, ids::kDeviceNew, "Search");
}

INT_PTR CBluetoothDialog::message(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_TIMER && wParam == kProgressTimer && searching_) {
    showSearching(hwnd);
    return TRUE;
  }
  if (message == kSearchDone && searching_) {
    endSearch(hwnd);
    render(hwnd);
    return TRUE;
  }
  return FALSE;
}

void CBluetoothDialog::render(HWND hwnd) {
  using namespace ids;
  if (searching_) return;  // the search's own state stands until it ends
  showList(hwnd, model_.list(), model_.deleteEnabled());
  ::SendDlgItemMessageW(hwnd, kFoundList, LB_SETCURSEL, static_cast<WPARAM>(model_.selectedFound()), 0);
  setText(hwnd, kDescriptionEdit, model_.description());
  setText(hwnd, kDeviceAdd, model_.addLabel());
  ::EnableWindow(::GetDlgItem(hwnd, kDeviceAdd), model_.addEnabled());
}
