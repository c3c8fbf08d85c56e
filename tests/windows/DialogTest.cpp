// The wizard's Windows dialog under Wine (on Xvfb): its layout and ids, the controls each page
// shows, a whole Soft Break load through it into the virtual receiver on COM5, and a stop during
// a load. With VESTREL_SCREENSHOT_DIR set it saves pictures of the three pages there.
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
#include "ControlIds.h"
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

  bool waitForDialog() {
    return waitUntil([this] {
      ::EnumThreadWindows(thread_, [](HWND w, LPARAM self) {
        wchar_t title[64] = {};
        ::GetWindowTextW(w, title, 64);
        if (::IsWindowVisible(w) && std::wstring(title).rfind(L"Vestrel", 0) == 0) {
          reinterpret_cast<Operator*>(self)->dialog_ = w;
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
  bool enabled(int id) const { return ::IsWindowEnabled(control(id)) != 0; }
  int progress() const { return static_cast<int>(::SendMessageW(control(kProgress), PBM_GETPOS, 0, 0)); }
  void press(int id) const { ::PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control(id))); }
  void picture(const std::string& name) const {
    const std::string dir = env("VESTREL_SCREENSHOT_DIR");
    if (dir.empty()) return;
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
    ASSERT_TRUE(sample::writeDistribution(dir.path(), sample::Options{}, error)) << error;
  }
  // Runs the dialog on this thread while operate runs on a second one; returns the exit status.
  int run(const std::function<void(Operator&)>& operate) {
    CVestrelDlg::Options options;
    options.ports = [](ConnectionKind) { return std::vector<PortEntry>{}; };
    CVestrelDlg dialog(job, kind, images, session, std::move(options));
    Operator op(::GetCurrentThreadId());
    std::thread operatorThread([&] {
      if (!op.waitForDialog()) {
        ADD_FAILURE() << "the dialog did not open";
        return;
      }
      operate(op);
      // An operator that stopped early (a failed expectation) leaves the window to its close box.
      if (::IsWindow(op.dialog())) ::PostMessageW(op.dialog(), WM_COMMAND, IDCANCEL, 0);
    });
    const int status = dialog.run();
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
    ASSERT_TRUE(Operator::waitUntil(
        [&] {
          const std::string shown = op.text(kLogBox) + op.text(kPageEdit);
          return shown.find("Loading Main firmware...") != std::string::npos && op.progress() >= 30 &&
                 op.progress() < 90;
        },
        90000))
        << op.text(kLogBox);
    op.picture("windows-page-loading.png");
    ASSERT_TRUE(Operator::waitUntil([&] { return op.text(kCancel) == "Exit"; }, 120000)) << op.text(kLogBox);
    EXPECT_NE(op.text(kPageEdit).find("Successfully loaded!"), std::string::npos) << op.text(kPageEdit);
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
    // The stop is seen at once (a generous bound: the figures are in bench/README.md).
    EXPECT_TRUE(Operator::waitUntil(
        [&] { return op.text(kPageEdit).find("The firmware loading was aborted.") != std::string::npos; }, 1000))
        << op.text(kPageEdit);
  });
  EXPECT_EQ(status, 1);  // an aborted unattended run
}
