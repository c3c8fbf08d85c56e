// The wizard's Windows dialog under Wine (on Xvfb): its layout and ids, the controls each page
// shows, a whole Soft Break load through it into the virtual receiver on COM5, and a stop during
// a load, each kind of result. With VESTREL_SCREENSHOT_DIR set it saves pictures of the pages and
// the results there.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "CVestrelDlg.h"
#include "CTcpipDialog.h"
#include "CBluetoothDialog.h"
#include "ControlIds.h"
#include "DeviceStore.h"
#include "Dpi.h"
#include "FixedFont.h"
#include "FirmwareImageSet.h"
#include "LoadSession.h"
#include "SampleFirmware.h"
#include "TempDir.h"
#include "WindowPicture.h"
#include "WindowsText.h"

using namespace ids;

namespace {

using Clock = std::chrono::steady_clock;

std::string env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// Looks at the dialog from a second thread, as an operator would: by ids, texts and visibility.
// Every call goes to the dialog's thread as a window message, so the two never share state.
class Operator {
 public:
  explicit Operator(DWORD dialogThread) : thread_(dialogThread) {}

  // Waits for a visible window of the thread whose title starts with the text.
  bool waitForDialog(const std::wstring& titleStart = L"Vestrel") {
    titleStart_ = titleStart;
    dialog_ = nullptr;
    return waitUntil([this] {
      ::EnumThreadWindows(thread_, [](HWND w, LPARAM param) {
        auto* self = reinterpret_cast<Operator*>(param);
        wchar_t title[64] = {};
        ::GetWindowTextW(w, title, 64);
        if (::IsWindowVisible(w) && std::wstring(title).rfind(self->titleStart_, 0) == 0) {
          self->dialog_ = w;
          return FALSE;
        }
        return TRUE;
      }, reinterpret_cast<LPARAM>(this));
      return dialog_ != nullptr;
    }, 20000);
  }
  HWND dialog() const { return dialog_; }
  HWND control(int id) const { return ::GetDlgItem(dialog_, id); }
  std::string text(int id) const {
    wchar_t buffer[8192] = {};
    ::SendMessageW(control(id), WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(buffer));
    return CMNC::windowstext::utf8(buffer);
  }
  std::string title() const {
    wchar_t buffer[256] = {};
    ::SendMessageW(dialog_, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(buffer));
    return CMNC::windowstext::utf8(buffer);
  }
  bool visible(int id) const { return (::GetWindowLongW(control(id), GWL_STYLE) & WS_VISIBLE) != 0; }
  void type(int id, const std::string& text) const {
    ::SendMessageW(control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(CMNC::windowstext::wide(text).c_str()));
  }
  int count(int id) const { return static_cast<int>(::SendMessageW(control(id), CB_GETCOUNT, 0, 0)); }
  bool enabled(int id) const { return ::IsWindowEnabled(control(id)) != 0; }
  int progress() const { return static_cast<int>(::SendMessageW(control(kProgress), PBM_GETPOS, 0, 0)); }
  void press(int id) const { ::PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control(id))); }
  // The picture's name gets the scale the dialog is shown at when that is not 100%:
  // "windows-page-source-200.png" at 192 DPI.
  void picture(std::string name) const {
    const std::string dir = env("VESTREL_SCREENSHOT_DIR");
    if (dir.empty()) return;
    if (const UINT shown = dpi::of(dialog_); shown != dpi::kStandard) {
      std::string scale = "-";
      scale += std::to_string(shown * 100 / dpi::kStandard);
      name.insert(name.rfind('.'), scale);
    }
    ::SetForegroundWindow(dialog_);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // let it paint
    EXPECT_TRUE(saveWindowPicture(dialog_, dir + "\\" + name)) << name;
  }
  std::set<int> visibleOf(const std::set<int>& ids) const {
    std::set<int> shown;
    for (int id : ids)
      if (visible(id)) shown.insert(id);
    return shown;
  }
  static bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
      if (condition()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return condition();
  }

 private:
  DWORD thread_;
  std::wstring titleStart_;
  HWND dialog_ = nullptr;
};

// Every control of layout 102 by id.
const std::set<int> kAllControls = {kPageText, kPageEdit,  kConnectionLabel, kConnectionList, kSetUpDevices,
                                    kPortLabel, kPortList, kTestSelect,      kMethodLabel,    kMethodList,
                                    kSpeedLabel, kSpeedList, kBlockSizeList, kLogBox,         kFwLoaded,
                                    kProgress,  kPercent,   kSpinner,        kBack,           kCancel,
                                    kNext};

class Dialog : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    // A main image big enough that its transfer takes seconds on a virtual line, long enough for
    // the walk's poll to see the bar in the middle (the sample's own passes in a tenth of a second).
    sample::Options options;
    options.mainSize = 8 * 1024 * 1024;
    ASSERT_TRUE(sample::writeDistribution(dir.path(), options, error)) << error;
  }
  // Runs the dialog on this thread while operate runs on a second one; returns the exit status.
  int run(const std::function<void(Operator&)>& operate) {
    CVestrelDlg::Options options;
    options.ports = [](ConnectionKind kind) {
      return kind == ConnectionKind::Tcpip ? devicestore::loadHosts() : std::vector<PortEntry>{};
    };
    CVestrelDlg dialog(job, kind, images, session, std::move(options));
    return operateOn([&] { return dialog.run(); }, L"Vestrel", operate);
  }
  // Runs a modal window on this thread while operate runs on a second one once the window with
  // the title is there; returns what runModal returned.
  template <typename RunModal>
  int operateOn(RunModal runModal, const std::wstring& title, const std::function<void(Operator&)>& operate) {
    Operator op(::GetCurrentThreadId());
    std::thread operatorThread([&] {
      if (!op.waitForDialog(title)) {
        ADD_FAILURE() << "the dialog did not open";
        return;
      }
      operate(op);
      // An operator that stopped early (a failed expectation) leaves the window to its close box.
      if (::IsWindow(op.dialog())) ::PostMessageW(op.dialog(), WM_COMMAND, IDCANCEL, 0);
    });
    const int status = static_cast<int>(runModal());
    operatorThread.join();
    return status;
  }
  TempDir dir;
  LoadSession session;
  LoadJob job;
  SourceKind kind = SourceKind::ZipArchive;
  FirmwareImageSet images;
};

}  // namespace

TEST_F(Dialog, WalksThePagesAndLoadsIntoTheReceiver) {
  const std::string com = env("VESTREL_TEST_COM");
  if (com.empty()) GTEST_SKIP() << "VESTREL_TEST_COM is not set";
  job.port = com;
  job.method = LoadMethod::SoftBreakCapture;
  job.methodGiven = true;
  ASSERT_TRUE(images.scanSource(dir.path() + "\\named.zip", SourceKind::ZipArchive, true).empty());
  const int status = run([&](Operator& op) {
    for (int id : kAllControls) EXPECT_NE(op.control(id), nullptr) << id;
    // The connection page.
    EXPECT_EQ(op.visibleOf(kAllControls),
              (std::set<int>{kCancel, kPageText, kNext, kPortList, kMethodList, kTestSelect, kMethodLabel, kPortLabel,
                             kLogBox, kSpeedLabel, kSpeedList, kConnectionList, kConnectionLabel, kSetUpDevices}));
    EXPECT_EQ(op.text(kConnectionLabel), "Connection:");
    EXPECT_EQ(op.text(kPortLabel), "Serial port:");
    EXPECT_EQ(op.text(kMethodLabel), "Loading method:");
    EXPECT_EQ(op.text(kSpeedLabel), "Speed:");
    EXPECT_EQ(op.text(kTestSelect), "Test");
    EXPECT_EQ(op.text(kNext), "Next >>");
    EXPECT_EQ(op.text(kCancel), "Cancel");
    EXPECT_EQ(op.text(kPageText).rfind("Connect the receiver to your computer", 0), 0u);
    EXPECT_FALSE(op.enabled(kNext));  // Soft Break Capture wants a test first
    op.press(kTestSelect);
    ASSERT_TRUE(Operator::waitUntil([&] { return op.enabled(kNext); }, 30000)) << op.text(kLogBox);
    EXPECT_NE(op.title().find("VR-100 at "), std::string::npos) << op.title();
    op.picture("windows-page-connection.png");
    // The source page.
    op.press(kNext);
    ASSERT_TRUE(Operator::waitUntil([&] { return op.text(kPortLabel) == "Source:"; }, 5000));
    EXPECT_EQ(op.visibleOf(kAllControls),
              (std::set<int>{kCancel, kBack, kNext, kPageText, kPortList, kPortLabel, kTestSelect, kLogBox}));
    EXPECT_EQ(op.text(kTestSelect), "Select file...");
    EXPECT_NE(op.text(kLogBox).find("- Main firmware (main.ldp)"), std::string::npos) << op.text(kLogBox);
    op.picture("windows-page-source.png");
    // The loading page, during the load and at its end.
    op.press(kNext);
    ASSERT_TRUE(Operator::waitUntil([&] { return op.text(kCancel) == "Abort"; }, 5000));
    EXPECT_TRUE(op.visible(kPageEdit));
    EXPECT_FALSE(op.visible(kPageText));
    // The bar is the whole load's: it passes the middle while an image is under way.
    int lastBar = 0;
    std::string lastLine;
    ASSERT_TRUE(Operator::waitUntil(
        [&] {
          lastBar = op.progress();
          lastLine = op.text(kProgressText);
          return lastBar >= 30 && lastBar < 95 && lastLine.rfind("Image ", 0) == 0;
        },
        180000))
        << "bar at " << lastBar << ", under it: " << lastLine << "; log: " << op.text(kLogBox);
    op.picture("windows-page-loading.png");
    ASSERT_TRUE(Operator::waitUntil([&] { return op.text(kCancel) == "Close"; }, 120000)) << op.text(kLogBox);
    EXPECT_NE(op.text(kPageEdit).find("Successfully loaded!"), std::string::npos) << op.text(kPageEdit);
    EXPECT_EQ(op.text(kProgressText), "Loaded and confirmed. 4 of 4 flashed.");
    EXPECT_EQ(op.text(kBack), "Load another");
    EXPECT_EQ(op.progress(), 100);
    op.picture("windows-result-confirmed.png");
    op.press(kCancel);
  });
  EXPECT_EQ(status, 0);
}

// The fixed-pitch font's height in pixels (negative: the character height) and the small icon's
// width, as the dialog's thread has them.
int logFontHeight(const Operator& op) {
  const auto font = reinterpret_cast<HFONT>(::SendMessageW(op.control(kLogBox), WM_GETFONT, 0, 0));
  LOGFONTW described{};
  return font && ::GetObjectW(font, sizeof described, &described) ? described.lfHeight : 0;
}

int smallIconWidth(const Operator& op) {
  const auto icon = reinterpret_cast<HICON>(::SendMessageW(op.dialog(), WM_GETICON, ICON_SMALL, 0));
  ICONINFO info{};
  if (!icon || !::GetIconInfo(icon, &info)) return 0;
  BITMAP bitmap{};
  ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  for (HBITMAP b : {info.hbmColor, info.hbmMask})
    if (b) ::DeleteObject(b);
  return bitmap.bmWidth;
}

// The dialog is shown at the screen's DPI (VESTREL_TEST_DPI says which the test run set: Wine's
// LogPixels); its font and icons are made for it, and made anew when it moves to a screen of
// another DPI (the WM_DPICHANGED the system would send).
TEST_F(Dialog, FontAndIconsFollowTheDpi) {
  const int status = run([&](Operator& op) {
    const UINT shown = dpi::of(op.dialog());
    if (const std::string wanted = env("VESTREL_TEST_DPI"); !wanted.empty()) {
      EXPECT_EQ(shown, static_cast<UINT>(std::stoi(wanted)));
    }
    EXPECT_EQ(logFontHeight(op), -dpi::scale(FixedFont::kPixelsAt96Dpi, shown));
    EXPECT_EQ(smallIconWidth(op), dpi::metric(SM_CXSMICON, shown));
    RECT place{}, next{};
    ::GetWindowRect(op.dialog(), &place);
    ::GetWindowRect(op.control(kNext), &next);
    RECT doubled{place.left, place.top, place.left + 2 * (place.right - place.left), place.top + 2 * (place.bottom - place.top)};
    ::SendMessageW(op.dialog(), WM_DPICHANGED, MAKEWPARAM(2 * shown, 2 * shown), reinterpret_cast<LPARAM>(&doubled));
    EXPECT_EQ(logFontHeight(op), -dpi::scale(FixedFont::kPixelsAt96Dpi, 2 * shown));
    EXPECT_EQ(smallIconWidth(op), dpi::metric(SM_CXSMICON, 2 * shown));
    RECT moved{}, nextMoved{};
    ::GetWindowRect(op.dialog(), &moved);
    EXPECT_EQ(moved.right - moved.left, doubled.right - doubled.left);
    // The controls are laid out anew at the new DPI: a button twice as wide, further from the corner.
    ::GetWindowRect(op.control(kNext), &nextMoved);
    EXPECT_NEAR(nextMoved.right - nextMoved.left, 2 * (next.right - next.left), 2);
    EXPECT_NEAR(nextMoved.left - moved.left, 2 * (next.left - place.left), 4);
    op.press(kCancel);
  });
  EXPECT_EQ(status, 0);
}

TEST_F(Dialog, AbortDuringALoadStopsItAtOnce) {
  const std::string com = env("VESTREL_TEST_COM_OFF");  // a receiver that is switched off
  if (com.empty()) GTEST_SKIP() << "VESTREL_TEST_COM_OFF is not set";
  job.port = com;
  job.method = LoadMethod::PowerOnCapture;
  job.methodGiven = true;
  job.run = true;  // the dialog presses its own buttons up to the load
  job.exitWhenDone = true;
  job.source = dir.path() + "\\named.zip";
  const int status = run([&](Operator& op) {
    ASSERT_TRUE(Operator::waitUntil([&] { return op.text(kCancel) == "Abort"; }, 20000)) << op.text(kLogBox);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // waiting in the capture
    op.press(kCancel);
    // The stop ends the load (how fast is measured in bench/README.md, not here: a loaded machine
    // under Wine may take longer than a second to repaint).
    EXPECT_TRUE(Operator::waitUntil(
        [&] { return op.text(kPageEdit).find("The firmware loading was aborted.") != std::string::npos; }, 10000))
        << op.text(kPageEdit);
    EXPECT_TRUE(Operator::waitUntil([&] { return op.text(kProgressText).rfind("Stopped.", 0) == 0; }, 5000))
        << op.text(kProgressText);
    op.picture("windows-result-stopped.png");
  });
  EXPECT_EQ(status, 1);  // an aborted unattended run
}

// A load that ends without the receiver's confirmation, and one whose link is lost, each end in
// a panel of their own, with the images' results and the remedy; the window stays open on it.
TEST_F(Dialog, EachResultIsAPanelOfItsOwn) {
  struct Case {
    const char* port;     // the variable that names the receiver's COM port
    const char* first;    // the panel's first words
    const char* picture;
  };
  const Case cases[] = {{"VESTREL_TEST_COM_UNCONFIRMED", "Loaded, not confirmed.", "windows-result-unconfirmed.png"},
                        {"VESTREL_TEST_COM_DROPS", "Failed: ", "windows-result-failed.png"}};
  sample::Options small;
  small.mainSize = 48 * 1024;
  small.boardSize = 8 * 1024;
  std::string error;
  ASSERT_TRUE(sample::writeDistribution(dir.path() + "\\small", small, error)) << error;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    const std::string com = env(c.port);
    if (com.empty()) GTEST_SKIP() << c.port << " is not set";
    job = LoadJob{};
    images = FirmwareImageSet{};
    job.port = com;
    job.method = LoadMethod::SoftBreakCapture;
    job.methodGiven = true;
    job.run = true;  // the dialog presses its own buttons up to the load, and stays at its end
    job.source = dir.path() + "\\small\\named.zip";
    const int status = run([&](Operator& op) {
      ASSERT_TRUE(Operator::waitUntil([&] { return op.text(kCancel) == "Close"; }, 120000)) << op.text(kLogBox);
      const std::string panel = op.text(kProgressText);
      EXPECT_EQ(panel.rfind(c.first, 0), 0u) << panel;
      EXPECT_NE(panel.find(" of 4 "), std::string::npos) << panel;
      EXPECT_EQ(op.text(kBack), "Load another");
      op.picture(c.picture);
      op.press(kCancel);
    });
    EXPECT_NE(status, 0);
  }
}

// The TCP/IP set-up: the refused Add's message box, a host added and stored in the registry, and
// from the wizard's "Set up devices" the port list rebuilt with it.
TEST_F(Dialog, TcpipSetUpStoresHostsAndTheWizardListsThem) {
  devicestore::saveHosts({});
  CTcpipDialog setUp;
  const int saved = operateOn([&] { return setUp.run(nullptr); }, L"Set up TCP/IP connections", [](Operator& op) {
    for (int id : {kDeviceList, kDeviceDelete, kDeviceAdd, kDeviceNew, kHostEdit, kHostPortEdit, kPasswordEdit,
                   kDescriptionEdit, IDOK, IDCANCEL})
      EXPECT_NE(op.control(id), nullptr) << id;
    EXPECT_FALSE(op.enabled(kDeviceNew));
    EXPECT_FALSE(op.enabled(kDeviceDelete));
    op.press(kDeviceAdd);  // nothing typed
    Operator box(::GetWindowThreadProcessId(op.dialog(), nullptr));
    ASSERT_TRUE(box.waitForDialog(L"Device properties"));
    ::PostMessageW(box.dialog(), WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(Operator::waitUntil([&] { return !::IsWindow(box.dialog()); }, 5000));
    op.type(kHostEdit, "rover.local");
    op.type(kHostPortEdit, "8002");
    op.type(kPasswordEdit, "pw:with:colons");
    op.type(kDescriptionEdit, "Zulu base");
    op.press(kDeviceAdd);
    ASSERT_TRUE(Operator::waitUntil([&] { return op.text(kDeviceAdd) == "Update"; }, 5000));
    EXPECT_EQ(op.count(kDeviceList), 1);
    EXPECT_EQ(op.text(kDeviceList), "Zulu base");
    EXPECT_TRUE(op.enabled(kDeviceNew));
    op.picture("windows-setup-tcpip.png");
    op.press(IDOK);
  });
  EXPECT_EQ(saved, 1);
  const std::vector<PortEntry> hosts = devicestore::loadHosts();
  ASSERT_EQ(hosts.size(), 1u);
  EXPECT_EQ(hosts[0].address, "rover.local:8002:pw:with:colons");

  job.connection = ConnectionKind::Tcpip;
  run([&](Operator& op) {
    EXPECT_NE(op.text(kPortList).find("Zulu base"), std::string::npos) << op.text(kPortList);
    op.press(kSetUpDevices);
    Operator setUpOp(::GetWindowThreadProcessId(op.dialog(), nullptr));
    ASSERT_TRUE(setUpOp.waitForDialog(L"Set up TCP/IP connections"));
    setUpOp.press(kDeviceNew);
    ASSERT_TRUE(Operator::waitUntil([&] { return setUpOp.text(kDeviceAdd) == "Add"; }, 5000));
    setUpOp.type(kHostEdit, "10.0.0.7");
    setUpOp.type(kHostPortEdit, "8000");
    setUpOp.press(kDeviceAdd);  // no description: host and port stand in
    ASSERT_TRUE(Operator::waitUntil([&] { return setUpOp.count(kDeviceList) == 2; }, 5000));
    setUpOp.press(IDOK);
    ASSERT_TRUE(Operator::waitUntil([&] { return !::IsWindow(setUpOp.dialog()); }, 5000));
    EXPECT_EQ(::SendMessageW(op.control(kPortList), CB_GETCOUNT, 0, 0), 2);
    op.press(kCancel);
  });
  EXPECT_EQ(devicestore::loadHosts().size(), 2u);
  devicestore::saveHosts({});
}

// The Bluetooth set-up: stored devices listed, a search (no radio here: a replaced inquiry) adds
// one, Cancel stores nothing, OK stores in the order shown.
TEST_F(Dialog, BluetoothSetUpSearchesAndStores) {
  devicestore::saveBluetooth({{"Rover", "Rover", "(00:11:22:33:44:01)", ConnectionKind::Bluetooth}});
  for (const bool ok : {false, true}) {
    CBluetoothDialog setUp(true);
    setUp.search = [] {  // an inquiry takes its time: the window answers meanwhile
      std::this_thread::sleep_for(std::chrono::milliseconds(1500));
      return std::vector<CMNC::CBTRemoteDevice>{CMNC::CBTRemoteDevice("Base", 0x0011223344AAull, 0)};
    };
    operateOn([&] { return setUp.run(nullptr); }, L"Set up Bluetooth devices", [&](Operator& op) {
      EXPECT_EQ(op.text(kDeviceList), "Rover");
      EXPECT_EQ(op.text(kDeviceAdd), "Update");
      if (!ok) {  // "Stop" abandons a search at once
        op.press(kDeviceNew);
        ASSERT_TRUE(Operator::waitUntil([&] { return op.text(kDeviceNew) == "Stop"; }, 5000));
        op.press(kDeviceNew);
        ASSERT_TRUE(Operator::waitUntil([&] { return op.text(kDeviceNew) == "Search"; }, 500));
        EXPECT_TRUE(op.enabled(kDeviceList));
      }
      op.press(kDeviceNew);  // "Search"
      ASSERT_TRUE(Operator::waitUntil([&] { return op.text(kDeviceNew) == "Stop"; }, 5000));
      DWORD_PTR answer = 0;
      EXPECT_NE(::SendMessageTimeoutW(op.dialog(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &answer), 0)
          << "the window answers during the search";
      EXPECT_FALSE(op.enabled(kDeviceList));
      ASSERT_TRUE(Operator::waitUntil([&] { return op.text(kDeviceAdd) == "Add"; }, 5000));
      EXPECT_EQ(op.text(kDeviceNew), "Search");
      EXPECT_EQ(op.text(kDescriptionEdit), "Base");
      EXPECT_TRUE(op.enabled(kFoundList));
      op.press(kDeviceAdd);
      ASSERT_TRUE(Operator::waitUntil([&] { return op.count(kDeviceList) == 2; }, 5000));
      EXPECT_EQ(op.text(kDeviceList), "Base");
      op.press(ok ? IDOK : IDCANCEL);
    });
    EXPECT_EQ(devicestore::loadBluetooth(true).size(), ok ? 2u : 1u);
  }
  const std::vector<PortEntry> stored = devicestore::loadBluetooth(true);
  EXPECT_EQ(stored[0].description, "Base");  // sorted
  EXPECT_EQ(stored[1].address, "(00:11:22:33:44:01)");
  devicestore::saveBluetooth({});
}
