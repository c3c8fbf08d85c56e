#include "CVestrelDlg.h"

#include <commctrl.h>
#include <commdlg.h>

#include <vector>

#include "CAboutDlg.h"
#include "CBluetoothDialog.h"
#include "CFileSelectorDialog.h"
#include "LinkKinds.h"
#include "CTcpipDialog.h"
#include "ControlIds.h"
#include "Dpi.h"
#include "WindowsText.h"
#include "WizardModel.h"

namespace {

constexpr int kWizardLayout = 102;
constexpr UINT kPostedMessage = WM_APP + 1;  // "run what post() queued"
constexpr UINT kAboutCommand = ids::kAboutCommand;

using CMNC::windowstext::utf8;
using CMNC::windowstext::wide;

// Which kind of control a window is, by its class: "ComboBox", "Edit", PROGRESS_CLASSW.
bool isClass(HWND control, const wchar_t* className) {
  wchar_t name[32] = {};
  ::GetClassNameW(control, name, 32);
  return ::lstrcmpiW(name, className) == 0;
}
bool isList(HWND control) { return isClass(control, L"ComboBox"); }
bool isEdit(HWND control) { return isClass(control, L"Edit"); }

// "ZIP archive (*.zip)" as the open-file dialog's filter: the text, then its patterns.
std::wstring filterOf(const std::string& description) {
  const auto open = description.rfind('(');
  const auto close = description.rfind(')');
  std::string patterns = open != std::string::npos && close > open ? description.substr(open + 1, close - open - 1) : "*";
  for (char& c : patterns)
    if (c == ' ') c = ';';
  std::wstring filter = wide(description);
  filter.push_back(L'\0');
  filter += wide(patterns);
  filter.push_back(L'\0');
  filter.push_back(L'\0');
  return filter;
}

}  // namespace

CVestrelDlg::CVestrelDlg(LoadJob& job, SourceKind& sourceKind, FirmwareImageSet& images, EngineSession& session,
                         Options options)
    : bluetoothAvailable_(options.bluetoothAvailable) {
  WizardController::Options wizard;
  wizard.bluetoothAvailable = options.bluetoothAvailable;
  wizard.ports = std::move(options.ports);
  controller_ = std::make_unique<WizardController>(static_cast<WizardView&>(*this), session, job, sourceKind, images,
                                                   std::move(wizard));
}

CVestrelDlg::~CVestrelDlg() {
  {
    std::lock_guard<std::mutex> lock(postedMutex_);
    windowGone_ = true;
  }
  controller_.reset();  // stops a run before the window's state goes
}

int CVestrelDlg::run() {
  ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kWizardLayout), nullptr, dialogProc,
                    reinterpret_cast<LPARAM>(this));
  {
    std::lock_guard<std::mutex> lock(postedMutex_);
    windowGone_ = true;
    posted_.clear();
  }
  return controller_->exitStatus();
}

void CVestrelDlg::interrupt(int signal) {
  post([this, signal] { controller_->interrupt(signal); });
}

INT_PTR CALLBACK CVestrelDlg::dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    auto* self = reinterpret_cast<CVestrelDlg*>(lParam);
    self->hwnd_ = hwnd;
    self->initialise();
    return FALSE;  // the controller set the focus
  }
  auto* self = reinterpret_cast<CVestrelDlg*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
  return self ? self->handle(message, wParam, lParam) : FALSE;
}

void CVestrelDlg::initialise() {
  icons_.apply(hwnd_, dpi::of(hwnd_));
  // "&About Vestrel..." below a separator in the system menu.
  if (HMENU menu = ::GetSystemMenu(hwnd_, FALSE)) {
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, kAboutCommand, L"&About Vestrel...");
  }
  fixedFont_.apply(hwnd_, {ids::kLogBox, ids::kSpinner});
  layout_.start(hwnd_, dpi::of(hwnd_), {ids::kLogBox, ids::kSpinner});
  ::SendDlgItemMessageW(hwnd_, ids::kProgress, PBM_SETRANGE32, 0, 100);
  for (const auto& [id, state] : controller_->controls().all()) controlChanged(id, state, ~0u);
  titleChanged(controller_->title());
  controller_->start();
}

INT_PTR CVestrelDlg::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DPICHANGED:
      dpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return TRUE;  // laid out here: the dialog manager must not scale it a second time
    case WM_COMMAND:
      command(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_CTLCOLORSTATIC: {
      const HWND control = reinterpret_cast<HWND>(lParam);
      const ControlState& state = controller_->controls().state(::GetDlgCtrlID(control));
      return reinterpret_cast<INT_PTR>(tones_.paint(reinterpret_cast<HDC>(wParam), state.tone));
    }
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == kAboutCommand) {
        openAbout();
        return TRUE;
      }
      return FALSE;
    case WM_HELP:
      openAbout();
      return TRUE;
    case WM_QUERYENDSESSION:
      // A load writing to a receiver is not cut short by the session's end: the answer is "not
      // now", with the reason the shutdown screen shows.
      if (controller_->running()) {
        ::ShutdownBlockReasonCreate(hwnd_, L"A firmware load is writing to a receiver.");
        ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, FALSE);
        return TRUE;
      }
      ::ShutdownBlockReasonDestroy(hwnd_);
      return FALSE;
    case kPostedMessage:
      runPosted();
      return TRUE;
    default: return FALSE;
  }
}

void CVestrelDlg::dpiChanged(UINT dpiValue, const RECT& suggested) {
  ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  layout_.dpiChanged(dpiValue);
  fixedFont_.dpiChanged(dpiValue);
  icons_.apply(hwnd_, dpiValue);
}

void CVestrelDlg::command(int id, int notification) {
  if (id == IDCANCEL) {
    // Escape while a test or a load runs is the page's own "Stop"/"Abort" button; the close box
    // (or Escape at rest) closes the window, stopping a run first.
    const bool escape = ::GetKeyState(VK_ESCAPE) < 0;
    if (escape && controller_->running()) {
      controller_->press(ids::kCancel);
      return;
    }
    controller_->windowClosing();
    ::EndDialog(hwnd_, IDCANCEL);
    return;
  }
  if (id == IDOK) {  // Enter where no default button is enabled: a typed port is taken
    commitTypedPort();
    return;
  }
  const HWND control = ::GetDlgItem(hwnd_, id);
  if (!control) return;
  if (isList(control)) {
    if (id == ids::kPortList && notification == CBN_KILLFOCUS) commitTypedPort();
    if (notification != CBN_SELCHANGE) return;
    const int index = static_cast<int>(::SendMessageW(control, CB_GETCURSEL, 0, 0));
    if (index >= 0) controller_->choose(id, index);
  } else if (notification == BN_CLICKED) {
    commitTypedPort();  // Enter on the default button with a port typed: the port first
    controller_->press(id);
  }
}

void CVestrelDlg::commitTypedPort() {
  const ControlState& state = controller_->controls().state(ids::kPortList);
  if (!state.editable) return;
  const HWND box = ::GetDlgItem(hwnd_, ids::kPortList);
  std::wstring typed(static_cast<std::size_t>(::GetWindowTextLengthW(box)) + 1, L'\0');
  typed.resize(static_cast<std::size_t>(::GetWindowTextW(box, typed.data(), static_cast<int>(typed.size()))));
  const std::string text = utf8(typed);
  if (!text.empty() && text != state.text) controller_->typePort(text);
}

void CVestrelDlg::runPosted() {
  for (;;) {
    std::function<void()> next;
    {
      std::lock_guard<std::mutex> lock(postedMutex_);
      if (posted_.empty() || windowGone_) return;
      next = std::move(posted_.front());
      posted_.pop_front();
    }
    next();
  }
}

// ---------------------------------------------------------------------------------------------
// Rendering the controller's states

void CVestrelDlg::controlChanged(int id, const ControlState& state, unsigned aspects) {
  const HWND control = hwnd_ ? ::GetDlgItem(hwnd_, id) : nullptr;
  if (!control) return;
  if (aspects & ControlState::kVisible) ::ShowWindow(control, state.visible ? SW_SHOWNA : SW_HIDE);
  if (aspects & ControlState::kEnabled) ::EnableWindow(control, state.enabled);
  if ((aspects & ControlState::kValue) && isClass(control, PROGRESS_CLASSW)) ::SendMessageW(control, PBM_SETPOS, state.value, 0);
  if (aspects & ControlState::kTone) ::InvalidateRect(control, nullptr, TRUE);
  if (isList(control)) {
    renderList(control, state, aspects);
  } else if (aspects & ControlState::kText) {
    ::SetWindowTextW(control, wide(state.text).c_str());
    if (isEdit(control)) ::SendMessageW(control, EM_SCROLLCARET, 0, 0);
  }
}

// The port box is a drop-down with an edit field (the only list that has one): where the operator
// may not type, its edit field is read-only. A list's items that cannot be taken say why in their
// text; the controller refuses them when chosen.
void CVestrelDlg::renderList(HWND control, const ControlState& state, unsigned aspects) {
  if (aspects & ControlState::kItems) {
    ::SendMessageW(control, CB_RESETCONTENT, 0, 0);
    for (const auto& item : state.items)
      ::SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(item.text).c_str()));
  }
  if (aspects & (ControlState::kCurrent | ControlState::kItems))
    ::SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(state.current), 0);
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  if ((aspects & ControlState::kEditable) && ::GetComboBoxInfo(control, &info) && info.hwndItem)
    ::SendMessageW(info.hwndItem, EM_SETREADONLY, state.editable ? FALSE : TRUE, 0);
}

void CVestrelDlg::textAppended(int id, const std::string& added) {
  const HWND control = ::GetDlgItem(hwnd_, id);
  if (!control) return;
  if (isEdit(control)) {
    const int end = ::GetWindowTextLengthW(control);
    ::SendMessageW(control, EM_SETSEL, static_cast<WPARAM>(end), end);
    ::SendMessageW(control, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(wide(added).c_str()));
    ::SendMessageW(control, EM_SCROLLCARET, 0, 0);
  } else {
    ::SetWindowTextW(control, wide(controller_->controls().state(id).text).c_str());
  }
}

void CVestrelDlg::titleChanged(const std::string& title) {
  if (hwnd_) ::SetWindowTextW(hwnd_, wide(title).c_str());
}

void CVestrelDlg::post(std::function<void()> fn) {
  std::lock_guard<std::mutex> lock(postedMutex_);
  if (windowGone_) return;
  posted_.push_back(std::move(fn));
  if (hwnd_) ::PostMessageW(hwnd_, kPostedMessage, 0, 0);
}

// ---------------------------------------------------------------------------------------------
// Questions to the operator

void CVestrelDlg::showWarning(const std::string& text) {
  ::MessageBoxW(hwnd_, wide(text).c_str(), L"Warning", MB_OK | MB_ICONINFORMATION);
}

std::string CVestrelDlg::chooseSourcePath(SourceKind kind, LoadMethod method) {
  const std::wstring filter = filterOf(wizard::fileFilter(kind, method));
  std::vector<wchar_t> path(32768, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = hwnd_;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrTitle = L"Select the firmware";
  dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
  return ::GetOpenFileNameW(&dialog) ? utf8(path.data()) : std::string();
}

bool CVestrelDlg::pickImages(std::vector<std::string>& names, bool loaders) {
  CFileSelectorDialog picker(names, loaders);
  return picker.run(hwnd_);
}

bool CVestrelDlg::openSetUpDevices(ConnectionKind kind) {
  const CMNC::SetUpModel model = CMNC::LinkKindOf(kind).setUp;
  if (model == CMNC::SetUpModel::Hosts) {
    CTcpipDialog dialog;
    return dialog.run(hwnd_);
  }
  if (model == CMNC::SetUpModel::Devices && bluetoothAvailable_) {
    CBluetoothDialog dialog(bluetoothAvailable_);
    return dialog.run(hwnd_);
  }
  return false;
}

void CVestrelDlg::openAbout() { CAboutDlg::run(hwnd_); }

void CVestrelDlg::close(bool accepted) {
  if (hwnd_) ::EndDialog(hwnd_, accepted ? IDOK : IDCANCEL);
}
