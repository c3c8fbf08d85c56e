// The wizard's rules without any widget: a fake engine session stands in for the receiver.
#include <gtest/gtest.h>

#include <deque>

#include "CommandLine.h"
#include "ControlIds.h"
#include "FirmwareImageSet.h"
#include "SampleFirmware.h"
#include "TempDir.h"
#include "WizardController.h"
#include "WizardView.h"

using namespace ids;

namespace {

// A session that starts nothing: the test plays the worker through the events it was given.
class FakeSession : public EngineSession {
 public:
  bool startTest(const TestRequest& r, LoadEvents& e) override {
    if (running_) return false;
    ++tests;
    test = r;
    return begin(e);
  }
  bool startIdentify(const TestRequest&, LoadEvents&) override { return false; }
  bool startLoad(const LoadRequest& r, FirmwareImageSet&, LoadEvents& e) override {
    if (running_) return false;
    ++loads;
    load = r;
    return begin(e);
  }
  void stop() override {
    if (running_) ++stops;
    running_ = false;
  }
  void stopAfterImage() override { ++stopsAfterImage; }
  bool running() const override { return running_; }
  PortTestSetup testResult() const override { return result; }
  std::string firmwareAfterLoad() const override { return after; }
  int currentRate() const override { return rate; }

  LoadEvents& events() { return *events_; }
  int tests = 0, loads = 0, stops = 0, stopsAfterImage = 0, rate = 115200;
  TestRequest test;
  LoadRequest load;
  PortTestSetup result;
  std::string after;

 private:
  bool begin(LoadEvents& e) {
    events_ = &e;
    running_ = true;
    return true;
  }
  bool running_ = false;
  LoadEvents* events_ = nullptr;
};

// A view that keeps what a front end would show and runs posted work when told to.
class FakeView : public WizardView {
 public:
  void controlChanged(int, const ControlState&, unsigned) override {}
  void textAppended(int, const std::string&) override {}
  void titleChanged(const std::string& t) override { title = t; }
  void post(std::function<void()> fn) override { queue.push_back(std::move(fn)); }
  void showWarning(const std::string& text) override { warnings.push_back(text); }
  std::string chooseSourcePath(SourceKind, LoadMethod) override { return chosenPath; }
  bool pickImages(std::vector<std::string>& names, bool) override {
    names.resize(1);
    return true;
  }
  bool openSetUpDevices(ConnectionKind) override { return false; }
  void openAbout() override {}
  void close(bool accepted) override { closed.push_back(accepted); }

  // Runs the queue until it is empty, as the front end's loop would.
  void drain() {
    while (!queue.empty()) {
      auto fn = std::move(queue.front());
      queue.pop_front();
      fn();
    }
  }

  std::deque<std::function<void()>> queue;
  std::vector<std::string> warnings;
  std::vector<bool> closed;
  std::string title, chosenPath;
};

class Controller : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sample::writeDistribution(dir.path(), sample::Options{}, error)) << error;
    job.port = "/dev/ttyVR0";
    job.speed = 115200;
  }
  void open(LoadMethod method, bool unattended = false, bool headless = false) {
    job.method = method;
    job.run = unattended;
    WizardController::Options options;
    options.headless = headless;
    options.ports = [](ConnectionKind) { return std::vector<PortEntry>{}; };
    if (tune) tune(options);
    wizard = std::make_unique<WizardController>(view, session, job, kind, images, options);
    wizard->start();
    if (!unattended) chooseMethod(method);
  }
  void chooseMethod(LoadMethod m) { wizard->choose(kMethodList, wizard->state(kMethodList).find(static_cast<int>(m))); }
  bool enabled(int id) { return wizard->state(id).enabled; }
  bool visible(int id) { return wizard->state(id).visible; }
  std::string text(int id) { return wizard->state(id).text; }
  // The port test or the load ends with the engine's report of success; of a firmware load the
  // engine leaves "Success!" to the one that hears the receiver confirm it.
  void succeed() {
    session.events().loadSucceeded(session.loads == 0);
    view.drain();
  }
  void passTest() {
    session.result.model = "VR-100";
    session.result.currentPort = "/dev/ser/a";
    wizard->press(kTestSelect);
    succeed();
  }
  // The load starts as the window's queue is handled: the Loader runs it on the window's thread.
  void toLoadingPage(const std::string& source) {
    wizard->press(kNext);
    wizard->selectSourcePath(source);
    wizard->press(kNext);
    view.drain();
  }

  TempDir dir;
  LoadJob job;
  std::function<void(WizardController::Options&)> tune;  // a test's own options
  SourceKind kind = SourceKind::ZipArchive;
  FirmwareImageSet images;
  FakeSession session;
  FakeView view;
  std::unique_ptr<WizardController> wizard;
};

}  // namespace

TEST_F(Controller, ConnectionPageRulesAndThePortTest) {
  open(LoadMethod::PowerOnCapture);
  EXPECT_EQ(wizard->page(), WizardController::Page::Connection);
  for (int id : {kConnectionList, kPortList, kMethodList, kSpeedList, kTestSelect, kNext, kCancel, kLogBox})
    EXPECT_TRUE(visible(id)) << id;
  for (int id : {kBack, kFwLoaded, kPageEdit, kProgress, kBlockSizeList}) EXPECT_FALSE(visible(id)) << id;
  EXPECT_EQ(text(kPortList), "Specified in command line (/dev/ttyVR0)");
  EXPECT_TRUE(enabled(kNext));  // power-on capture needs no test
  EXPECT_FALSE(enabled(kTestSelect));

  chooseMethod(LoadMethod::SoftBreakCapture);
  EXPECT_FALSE(enabled(kNext));
  ASSERT_TRUE(enabled(kTestSelect));
  wizard->choose(kSpeedList, wizard->state(kSpeedList).find(460800));
  wizard->press(kTestSelect);
  EXPECT_EQ(session.tests, 1);
  EXPECT_EQ(session.test.port.address, "/dev/ttyVR0");
  ASSERT_GE(session.test.speeds.size(), 2u);
  EXPECT_EQ(session.test.speeds[0].speed, 460800);  // the chosen speed is tried first
  EXPECT_EQ(text(kLogBox), "Opening /dev/ttyVR0...");
  EXPECT_EQ(text(kCancel), "Stop");
  for (int id : {kTestSelect, kNext, kPortList, kMethodList, kConnectionList}) EXPECT_FALSE(enabled(id)) << id;
  wizard->press(kTestSelect);  // a second test while one runs starts nothing
  wizard->press(kNext);
  EXPECT_EQ(session.tests, 1);
  EXPECT_EQ(wizard->page(), WizardController::Page::Connection);

  session.result.model = "VR-100";
  succeed();
  EXPECT_FALSE(wizard->running());
  EXPECT_TRUE(enabled(kNext));
  EXPECT_TRUE(enabled(kConnectionList));
  EXPECT_EQ(text(kCancel), "Cancel");
  EXPECT_EQ(view.title, "Vestrel: VR-100 at /dev/ttyVR0");
  EXPECT_EQ(text(kLogBox), "Opening /dev/ttyVR0...Success!");

  chooseMethod(LoadMethod::FileUpload);  // a test passed for one method does not open the way for another
  EXPECT_FALSE(enabled(kNext));
}

TEST_F(Controller, StopWhileTestingAndStaleReports) {
  open(LoadMethod::SoftBreakCapture);
  wizard->press(kTestSelect);
  session.events().loadFailed();  // the worker's end, still queued when "Stop" is pressed
  session.events().loadSucceeded();
  wizard->press(kCancel);
  EXPECT_FALSE(wizard->running());
  EXPECT_EQ(text(kCancel), "Cancel");
  EXPECT_FALSE(enabled(kNext));
  EXPECT_TRUE(view.closed.empty());  // "Stop" does not close the wizard

  wizard->press(kTestSelect);  // a new test can start
  ASSERT_EQ(session.tests, 2);
  view.drain();  // the first run's late end leaves the second alone
  EXPECT_TRUE(wizard->running());
  wizard->press(kCancel);
  wizard->press(kCancel);  // rapid presses: the second one is the plain "Cancel"
  EXPECT_FALSE(wizard->running());
  EXPECT_EQ(view.closed, std::vector<bool>{false});
}

TEST_F(Controller, RefusedPortTestUnlocksThePage) {
  open(LoadMethod::SoftBreakCapture);
  wizard->press(kTestSelect);
  session.events().startRefused("", "Error opening port /dev/ttyVR0:\r\nNo such file\r\n");
  view.drain();
  EXPECT_FALSE(wizard->running());
  EXPECT_EQ(text(kLogBox), "Opening /dev/ttyVR0...Error opening port /dev/ttyVR0:\r\nNo such file\r\n");
  EXPECT_TRUE(enabled(kTestSelect));
  EXPECT_FALSE(enabled(kNext));
  EXPECT_EQ(text(kCancel), "Cancel");
}

TEST_F(Controller, SourcePageAndTheHelperAlone) {
  open(LoadMethod::PowerOnCapture);
  wizard->press(kNext);
  ASSERT_EQ(wizard->page(), WizardController::Page::Source);
  for (int id : {kBack, kNext, kPortList, kTestSelect, kLogBox, kPageText}) EXPECT_TRUE(visible(id)) << id;
  for (int id : {kMethodList, kConnectionList, kSpeedList}) EXPECT_FALSE(visible(id)) << id;
  EXPECT_EQ(text(kPortLabel), "Source:");
  EXPECT_EQ(text(kTestSelect), "Select file...");
  EXPECT_FALSE(enabled(kNext));

  view.chosenPath = "";  // the file dialog cancelled: nothing changes
  wizard->press(kTestSelect);
  EXPECT_FALSE(enabled(kNext));
  wizard->selectSourcePath(dir.path() + "/nothing.zip");
  EXPECT_EQ(text(kLogBox), "Unable to open " + dir.path() + "/nothing.zip");
  EXPECT_FALSE(enabled(kNext));
  view.chosenPath = dir.path() + "/named.zip";
  wizard->press(kTestSelect);
  EXPECT_EQ(text(kLogBox).rfind("The following files found and will be loaded:\r\n- RAM loader (ramimage.ldr)\r\n", 0), 0u);
  EXPECT_TRUE(enabled(kNext));

  wizard->choose(kPortList, wizard->state(kPortList).find(static_cast<int>(SourceKind::Folder)));
  EXPECT_EQ(text(kTestSelect), "Select one...");
  EXPECT_FALSE(enabled(kNext));  // another kind of source forgets the chosen files
  wizard->choose(kPortList, wizard->state(kPortList).find(static_cast<int>(SourceKind::ImageFile)));
  wizard->selectSourcePath(dir.path() + "/named/ramimage.ldr");
  wizard->press(kNext);
  ASSERT_EQ(wizard->page(), WizardController::Page::Loading);
  EXPECT_EQ(session.loads, 0);
  EXPECT_EQ(text(kPageEdit),
            "The file ramimage.ldr is a helper file which can't be loaded alone. Please return back and select another "
            "file(s).");
  EXPECT_TRUE(enabled(kBack));
  wizard->press(kBack);
  EXPECT_EQ(wizard->page(), WizardController::Page::Source);
  wizard->press(kBack);
  EXPECT_EQ(wizard->page(), WizardController::Page::Connection);
  EXPECT_FALSE(enabled(kBack));
}

TEST_F(Controller, LoadRequestCarriesThePagesSettings) {
  job.mtu = 200;
  open(LoadMethod::SoftBreakCapture);
  session.result.portBPowerSlots = true;
  passTest();
  toLoadingPage(dir.path() + "/named.zip");
  ASSERT_EQ(session.loads, 1);
  EXPECT_EQ(session.load.method, LoadMethod::SoftBreakCapture);
  EXPECT_EQ(session.load.port.address, "/dev/ttyVR0");
  EXPECT_EQ(session.load.speed, 115200u);
  EXPECT_EQ(session.load.mtu, 200u);
  EXPECT_EQ(session.load.blockSizeChoice, 16384);
  EXPECT_EQ(session.load.receiverPort, "/dev/ser/a");
  EXPECT_TRUE(session.load.portBPowerSlots);
  EXPECT_EQ(text(kCancel), "Abort");
  EXPECT_TRUE(visible(kProgress));
  EXPECT_FALSE(enabled(kBack));
  wizard->press(kBack);  // nothing moves while loading
  wizard->press(kNext);
  EXPECT_EQ(wizard->page(), WizardController::Page::Loading);
}

TEST_F(Controller, ReportsProgressSpinnerAndWarnings) {
  open(LoadMethod::PowerOnCapture);
  wizard->progressReport(45);
  EXPECT_EQ(text(kPercent), "45%");
  EXPECT_EQ(text(kSpinner), "/");
  EXPECT_EQ(wizard->state(kProgress).value, 45);
  wizard->progressReport(150);  // outside 0..100: ignored
  EXPECT_EQ(text(kPercent), "45%");
  wizard->progressReport(100);
  EXPECT_FALSE(visible(kSpinner));
  wizard->pulseReport();
  EXPECT_EQ(wizard->state(kProgress).value, 0);
  EXPECT_FALSE(visible(kPercent));
  wizard->logReport("one\r\ntwo\r\n");
  EXPECT_EQ(text(kLogBox), "one\r\ntwo\r\n");
  wizard->logReport("");
  EXPECT_EQ(text(kLogBox), "");
  wizard->statusReport("Capturing...\r\n");
  EXPECT_EQ(text(kPageText).substr(text(kPageText).size() - 14), "Capturing...\r\n");
  wizard->statusReport("");
  EXPECT_EQ(text(kPageEdit), "");
  wizard->warningReport("Low battery");
  EXPECT_EQ(view.warnings, std::vector<std::string>{"Low battery"});
}

TEST_F(Controller, UnattendedWalkToSuccessAndExit) {
  job.source = dir.path() + "/named.zip";
  job.exitWhenDone = true;
  open(LoadMethod::SoftBreakCapture, true, true);
  view.drain();  // the test is pressed by itself
  ASSERT_EQ(session.tests, 1);
  session.result.mainFirmware = "4.2 Dec,01,2026";
  session.after = "4.3 Dec,08,2026";
  succeed();  // then "Next", "Select" and "Next" again
  ASSERT_EQ(session.loads, 1);
  EXPECT_EQ(wizard->page(), WizardController::Page::Loading);
  session.events().appendStatus("Loading Main firmware...\r\n");
  succeed();
  EXPECT_EQ(text(kPageEdit), "Successfully loaded!");
  EXPECT_EQ(text(kCancel), "Close");
  EXPECT_EQ(wizard->exitStatus(), 0);
  EXPECT_EQ(view.closed.size(), 1u);  // "/exit" pressed "Close"
  // The versions before and after, in the log box after the written texts.
  EXPECT_NE(text(kLogBox).find("\r\nMain firmware: 4.2 Dec,01,2026 -> 4.3 Dec,08,2026\r\n"), std::string::npos);
  EXPECT_TRUE(wizard->firmwareChange().confirmed());
  EXPECT_EQ(wizard->outcomeReason(), "Successfully loaded!");
  // A stop signal while the console run closes changes nothing: the load was confirmed.
  wizard->interrupt(15);
  view.drain();
  EXPECT_EQ(wizard->exitStatus(), 0);
  EXPECT_EQ(wizard->outcome().kind, OutcomeKind::Confirmed);
}

// Only the receiver's answer after the load confirms it: no answer exits with 3 (the written
// texts stay), and "--expect-version" fails a load whose version does not begin as expected.
TEST_F(Controller, AFirmwareLoadIsConfirmedByTheReceiversAnswer) {
  struct Case {
    std::string after, expected;
    int status;
    std::string logLine;
  };
  const std::vector<Case> cases = {
      {"4.3 Dec,08,2026", "", 0, ""},
      {"", "", 3, "not confirmed: the receiver did not answer"},
      {"4.3 Dec,08,2026", "4.3", 0, ""},
      {"4.2 Dec,01,2026", "4.3", 1, "The receiver runs main firmware 4.2 Dec,01,2026, but 4.3 was expected."},
      {"", "4.3", 1, "did not answer for its main firmware after the load; 4.3 was expected."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.after + "/" + c.expected);
    session = FakeSession{};
    view.queue.clear();
    view.closed.clear();
    job.source = dir.path() + "/named.zip";
    job.exitWhenDone = true;
    job.expectVersion = c.expected;
    open(LoadMethod::SoftBreakCapture, true, true);
    view.drain();
    session.result.mainFirmware = "4.2 Dec,01,2026";
    session.after = c.after;
    succeed();
    ASSERT_EQ(session.loads, 1);
    succeed();
    // Only a confirmed load reads as a success; the others say which confirmation was missing.
    if (c.status == 0) EXPECT_EQ(text(kPageEdit), "Successfully loaded!");
    else EXPECT_EQ(text(kPageEdit).rfind("Loaded, but not confirmed: ", 0), 0u) << text(kPageEdit);
    EXPECT_EQ(text(kLogBox).find("Success!") == std::string::npos, c.status != 0) << text(kLogBox);
    EXPECT_EQ(wizard->exitStatus(), c.status);
    if (!c.logLine.empty()) {
      EXPECT_NE(text(kLogBox).find(c.logLine), std::string::npos) << text(kLogBox);
    }
    EXPECT_EQ(wizard->outcomeReason() == "Successfully loaded!", c.status == 0) << wizard->outcomeReason();
    EXPECT_EQ(view.closed.size(), 1u);
  }
}

// The outcome's kind and stage come from the engine's facts: a refusal, a failure with the
// engine's reason and its stage, an operator's stop, a stop signal.
TEST_F(Controller, OutcomeKindsFromTheFacts) {
  job.source = dir.path() + "/named.zip";
  open(LoadMethod::SoftBreakCapture, true, true);
  view.drain();
  session.events().stageChanged(LoadStage::Connecting, "");
  session.events().startRefused("", "Error opening port x:\r\n");
  view.drain();
  EXPECT_EQ(wizard->outcome().kind, OutcomeKind::Refused);
  EXPECT_EQ(wizard->outcome().port, "/dev/ttyVR0");

  session = FakeSession{};
  open(LoadMethod::SoftBreakCapture, true, true);
  view.drain();
  succeed();  // the port test, then the load starts
  session.events().stageChanged(LoadStage::Capturing, "Main firmware");
  session.events().appendLog("Boot connection error.\r\n");
  session.events().failureReason("Boot connection error.");
  session.events().loadFailed();
  view.drain();
  RunOutcome failed = wizard->outcome();
  EXPECT_EQ(failed.kind, OutcomeKind::Failed);
  EXPECT_EQ(failed.stage, LoadStage::Capturing);
  EXPECT_EQ(failed.reason, "Boot connection error.");
  EXPECT_TRUE(failed.images.empty());

  session = FakeSession{};
  open(LoadMethod::SoftBreakCapture, true, true);
  view.drain();
  succeed();
  wizard->interrupt(2);
  view.drain();
  EXPECT_EQ(wizard->exitStatus(), 130);
  EXPECT_EQ(wizard->outcome().kind, OutcomeKind::Aborted);
}

TEST_F(Controller, UnattendedFailuresExitWithOne) {
  struct Case {
    const char* name;
    std::function<void()> fail;
    std::string pageText;
  };
  const std::vector<Case> cases = {
      {"port test refused", [this] { session.events().startRefused("", "Error opening port x:\r\n"); }, ""},
      {"port test failed", [this] { session.events().loadFailed(); }, ""},
      {"load failed",  // "aborted" is said of a stop only
       [this] {
         succeed();
         session.events().loadFailed();
       },
       "The firmware loading failed."},
      {"speed refused",
       [this] {
         succeed();
         session.events().startRefused("The port /dev/ttyVR0 does not support speed 115200.", "Error trying to set speed");
       },
       "The port /dev/ttyVR0 does not support speed 115200."},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    view = FakeView{};
    session = FakeSession{};
    job.source = dir.path() + "/named.zip";
    open(LoadMethod::SoftBreakCapture, true, true);
    view.drain();
    k.fail();
    view.drain();
    EXPECT_FALSE(wizard->running());
    EXPECT_EQ(wizard->exitStatus(), 1);
    EXPECT_EQ(view.closed, std::vector<bool>{false});
    if (!k.pageText.empty()) {
      EXPECT_EQ(text(kPageEdit), k.pageText);
      EXPECT_TRUE(enabled(kBack));
      EXPECT_EQ(text(kBack), "Load another");
      EXPECT_EQ(text(kCancel), "Close");
      EXPECT_EQ(text(kProgressText).rfind("Failed: ", 0), 0u) << text(kProgressText);
    }
  }
}

TEST_F(Controller, UnattendedWithoutAUsableSourceOrPortEnds) {
  job.source = dir.path() + "/nothing.zip";
  open(LoadMethod::PowerOnCapture, true, true);
  view.drain();
  EXPECT_EQ(session.loads, 0);
  EXPECT_EQ(wizard->exitStatus(), 1);
  EXPECT_EQ(view.closed.size(), 1u);

  view = FakeView{};
  job.port.clear();  // no port at all: the run ends instead of waiting for ever
  open(LoadMethod::SoftBreakCapture, true, true);
  view.drain();
  EXPECT_EQ(session.tests, 0);
  EXPECT_EQ(wizard->exitStatus(), 1);
  EXPECT_EQ(view.closed.size(), 1u);
}

TEST_F(Controller, AbortWhileLoadingThenCloseTheWindow) {
  open(LoadMethod::PowerOnCapture);
  toLoadingPage(dir.path() + "/named.zip");
  ASSERT_TRUE(wizard->running());
  session.events().appendStatus("Capturing...\r\n");
  view.drain();
  // The worker's last reports are still queued when the stop returns: they must not blank the
  // page the stop left, but the reason still reaches the log.
  session.events().appendStatus("");
  session.events().setProgress(40);
  session.events().appendLog("Aborted by user\r\n");
  wizard->press(kCancel);
  view.drain();
  EXPECT_FALSE(wizard->running());
  EXPECT_EQ(text(kPageEdit), "The firmware loading was aborted.");
  EXPECT_NE(text(kLogBox).find("Aborted by user"), std::string::npos);
  EXPECT_NE(wizard->state(kProgress).value, 40);
  EXPECT_EQ(text(kCancel), "Close");
  EXPECT_EQ(text(kProgressText).rfind("Stopped.", 0), 0u) << text(kProgressText);
  EXPECT_TRUE(enabled(kBack));
  EXPECT_TRUE(view.closed.empty());

  wizard->press(kBack);
  EXPECT_TRUE(enabled(kNext));  // the chosen files stay chosen: load again
  wizard->press(kNext);
  view.drain();
  ASSERT_TRUE(wizard->running());
  wizard->windowClosing();
  EXPECT_FALSE(wizard->running());
  EXPECT_EQ(session.stops, 2);
}

// "/capture" chooses the wizard's method also when the operator then walks the pages himself.
TEST_F(Controller, CaptureOptionSelectsTheMethodWithoutRun) {
  WizardController::Options options;
  options.ports = [](ConnectionKind) { return std::vector<PortEntry>{}; };
  const auto openWith = [&](const std::vector<std::string>& args) {
    job = LoadJob{};
    parseCommandLine(args, job, kind);
    wizard = std::make_unique<WizardController>(view, session, job, kind, images, options);
    wizard->start();
    return wizard->state(kMethodList).data();
  };
  EXPECT_EQ(openWith({"/capture", "fldp", "/port", "/dev/ttyVR0"}), static_cast<int>(LoadMethod::FileUpload));
  EXPECT_FALSE(job.run);
  EXPECT_EQ(openWith({"/capture", "power"}), static_cast<int>(LoadMethod::PowerOnCapture));
  EXPECT_EQ(openWith({"/port", "/dev/ttyVR0"}), static_cast<int>(LoadMethod::SoftBreakCapture));  // the default
}

// The selected speed is tried first under its number, also where the list names it otherwise.
TEST_F(Controller, FirstSpeedTriedIsNamedByItsNumber) {
  job = LoadJob{};
  job.connection = ConnectionKind::Usb;
  job.method = LoadMethod::FileUpload;
  WizardController::Options options;
  options.ports = [](ConnectionKind k) {
    return k == ConnectionKind::Usb ? std::vector<PortEntry>{{"usb1", "receiver", "1-2", ConnectionKind::Usb}}
                                    : std::vector<PortEntry>{};
  };
  wizard = std::make_unique<WizardController>(view, session, job, kind, images, options);
  wizard->start();
  chooseMethod(LoadMethod::FileUpload);
  wizard->press(kTestSelect);
  ASSERT_EQ(session.tests, 1);
  ASSERT_EQ(session.test.speeds.size(), 2u);
  EXPECT_EQ(session.test.speeds[0].text, "115200");
  EXPECT_EQ(session.test.speeds[1].text, "Max. possible speed");
}

// Where the operator is, and the About box, on every page; the result as a panel with its remedy.
TEST_F(Controller, EveryPageSaysItsStepAndTheEndSaysHowItEnded) {
  job.source = dir.path() + "/named.zip";
  open(LoadMethod::SoftBreakCapture);
  EXPECT_EQ(text(kStepText), "Step 1 of 3: Connection");
  EXPECT_TRUE(visible(kAboutButton));
  passTest();
  wizard->press(kNext);
  EXPECT_EQ(text(kStepText), "Step 2 of 3: Source");
  EXPECT_TRUE(visible(kAboutButton));
  // The command line's source is chosen without "/run": each image with its size and hardware,
  // and what the receiver runs now.
  EXPECT_TRUE(enabled(kNext));
  EXPECT_NE(text(kLogBox).find("- Main firmware (main.ldp): 192.0 KiB, for hardware 20\r\n"), std::string::npos)
      << text(kLogBox);
  wizard->press(kNext);
  view.drain();
  EXPECT_EQ(text(kStepText), "Step 3 of 3: Loading");
  session.after = "4.3 Dec,08,2026";
  session.events().runPlanned(1000, {"main.ldp"});
  session.events().imageDone("main.ldp", ImageResult::Flashed);
  succeed();
  EXPECT_EQ(text(kProgressText), "Loaded and confirmed. 1 of 1 flashed.");
  EXPECT_EQ(text(kCancel), "Close");
  EXPECT_EQ(text(kBack), "Load another");
  wizard->press(kBack);  // load another: back to the source page, the button's own text again
  EXPECT_EQ(wizard->page(), WizardController::Page::Source);
  EXPECT_EQ(text(kBack), "<< Back");
}

// A built-in serial port is listed by its name; a link the command line named that cannot be used
// here is said, never silently replaced.
TEST_F(Controller, EveryPortIsNamedAndAnUnusableLinkIsSaid) {
  tune = [](WizardController::Options& o) {
    o.ports = [](ConnectionKind) { return std::vector<PortEntry>{{"ttyS0", "", "/dev/ttyS0", ConnectionKind::Serial}}; };
  };
  job.port = "ttyS0";
  open(LoadMethod::SoftBreakCapture);
  EXPECT_EQ(text(kPortList), "ttyS0");

  job.port = "bt:(00:11:22:33:44:55)";
  job.connection = ConnectionKind::Bluetooth;
  open(LoadMethod::SoftBreakCapture);
  EXPECT_NE(text(kLogBox).find("The port bt:(00:11:22:33:44:55) needs a Bluetooth link, which cannot be used here"),
            std::string::npos)
      << text(kLogBox);
}

// A device the system does not list is typed into the port box; a typed port of another kind
// switches the connection; what cannot be a port is said and changes nothing.
TEST_F(Controller, ATypedPortIsListedChosenAndTested) {
  tune = [](WizardController::Options& o) {
    o.ports = [](ConnectionKind kind) {
      return kind == ConnectionKind::Serial ? std::vector<PortEntry>{{"ttyS0", "", "/dev/ttyS0", ConnectionKind::Serial}}
                                            : std::vector<PortEntry>{};
    };
  };
  job.port.clear();
  open(LoadMethod::SoftBreakCapture);
  EXPECT_TRUE(wizard->state(kPortList).editable);
  wizard->typePort("  /dev/pts/7 ");
  EXPECT_EQ(text(kPortList), "/dev/pts/7");
  EXPECT_EQ(wizard->state(kPortList).items.size(), 2u);
  wizard->press(kTestSelect);
  EXPECT_EQ(session.test.port.address, "/dev/pts/7");
  succeed();
  EXPECT_TRUE(enabled(kNext));

  wizard->typePort("usb:1-2");
  EXPECT_EQ(wizard->state(kConnectionList).data(), static_cast<int>(ConnectionKind::Usb));
  EXPECT_EQ(text(kPortList), "usb:1-2");
  EXPECT_FALSE(enabled(kNext));  // another port: tested again before going on

  const std::size_t listed = wizard->state(kPortList).items.size();
  wizard->typePort("usb:nonsense");
  EXPECT_NE(text(kLogBox).find("The port usb:nonsense cannot be used: "), std::string::npos) << text(kLogBox);
  EXPECT_EQ(wizard->state(kPortList).items.size(), listed);
  EXPECT_EQ(text(kPortList), "usb:1-2");

  wizard->press(kNext);  // the source page's list is not typed into
  EXPECT_FALSE(wizard->state(kPortList).editable);
}

// Without an adapter the Bluetooth kind stays listed, greyed with the reason, and is not taken.
TEST_F(Controller, AKindWithoutItsAdapterIsListedGreyedWithTheReason) {
  open(LoadMethod::SoftBreakCapture);
  const ControlState& kinds = wizard->state(kConnectionList);
  const int bluetooth = kinds.find(static_cast<int>(ConnectionKind::Bluetooth));
  ASSERT_GE(bluetooth, 0);
  EXPECT_FALSE(kinds.items[static_cast<std::size_t>(bluetooth)].enabled);
  EXPECT_EQ(kinds.items[static_cast<std::size_t>(bluetooth)].text, "Bluetooth (no adapter was found)");
  wizard->choose(kConnectionList, bluetooth);
  EXPECT_EQ(wizard->state(kConnectionList).data(), static_cast<int>(ConnectionKind::Serial));
  EXPECT_EQ(job.connection, ConnectionKind::Serial);
  EXPECT_NE(text(kLogBox).find("Bluetooth (no adapter was found) cannot be used on this computer."), std::string::npos);

  tune = [](WizardController::Options& o) { o.bluetoothAvailable = true; };
  open(LoadMethod::SoftBreakCapture);
  EXPECT_TRUE(wizard->state(kConnectionList).items[static_cast<std::size_t>(bluetooth)].enabled);
}

// The load's end as a panel in the tone of its outcome: confirmed, not confirmed, failed with the
// images' results and the remedy, stopped.
TEST_F(Controller, TheResultPanelSaysHowTheLoadEnded) {
  struct Case {
    const char* name;
    std::function<void()> end;
    std::string first;
    ControlState::Tone tone;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {"confirmed", [this] { session.after = "4.3 Dec,08,2026"; succeed(); }, "Loaded and confirmed. 3 of 3 flashed.",
       ControlState::Tone::Good, {}},
      {"unconfirmed", [this] { session.after = ""; succeed(); }, "Loaded, not confirmed. 3 of 3 flashed.",
       ControlState::Tone::Caution, {}},
      {"failed",
       [this] {
         session.events().imageDone("boot.ldp", ImageResult::Flashed);
         session.events().stageChanged(LoadStage::Loading, "Main firmware");
         session.events().failureReason("Boot connection error.", FailureKind::LinkLost);
         session.events().imageDone("main.ldp", ImageResult::Failed, "the link was lost");
         session.events().loadFailed();
         view.drain();
       },
       "Failed: ", ControlState::Tone::Bad,
       {"1 of 3 flashed", "\r\n- Main firmware (main.ldp): failed: the link was lost\r\n",
        "\r\nNot reached: Power Board firmware\r\n"}},
      {"stopped",
       [this] {
         wizard->press(kCancel);
         view.drain();
       },
       "Stopped.", ControlState::Tone::Caution, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    session = FakeSession{};
    view = FakeView{};
    open(LoadMethod::SoftBreakCapture);
    passTest();
    toLoadingPage(dir.path() + "/named.zip");
    EXPECT_EQ(wizard->state(kProgressText).tone, ControlState::Tone::Plain);
    session.events().runPlanned(2000, {"boot.ldp", "main.ldp", "powbrd.ldr"});
    if (std::string(c.name) != "failed")
      for (const char* image : {"boot.ldp", "main.ldp", "powbrd.ldr"}) session.events().imageDone(image, ImageResult::Flashed);
    view.drain();
    c.end();
    const std::string panel = text(kProgressText);
    EXPECT_EQ(panel.rfind(c.first, 0), 0u) << panel;
    EXPECT_EQ(wizard->state(kProgressText).tone, c.tone);
    for (const std::string& line : c.lines) EXPECT_NE(panel.find(line), std::string::npos) << line << " in " << panel;
    EXPECT_EQ(text(kCancel), "Close");
    EXPECT_EQ(text(kBack), "Load another");
  }
}
