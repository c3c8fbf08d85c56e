// The application's Loader without a receiver: a scripted engine session plays the worker, and a
// recording sink keeps every run event.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "LoadPlan.h"
#include "Loader.h"
#include "RunSink.h"
#include "SampleFirmware.h"
#include "TempDir.h"

namespace {

// A session whose runs do what the test scripts, on the caller's thread, or for a load on a worker
// of its own that stop() joins, as the engine's; a stopped run without a worker reports its abort.
class ScriptedSession final : public EngineSession {
 public:
  using Script = std::function<void(LoadEvents&)>;
  ~ScriptedSession() override { stop(); }
  bool startTest(const TestRequest& r, LoadEvents& e) override {
    ++tests;
    test = r;
    return begin(e, testScript);
  }
  bool startIdentify(const TestRequest&, LoadEvents&) override { return false; }
  bool startLoad(const LoadRequest& r, FirmwareImageSet&, LoadEvents& e) override {
    load = r;
    begin(e, loadScript);
    if (loadWorker) worker_ = std::thread([this, &e] { loadWorker(e); });
    ++loads;
    return true;
  }
  void stop() override {
    if (worker_.joinable()) worker_.join();
    else if (running_ && events_) events_.load()->report(engineevent::Ended{engineevent::Ended::Kind::Failed, "", ""});
    running_ = false;
    events_ = nullptr;
  }
  void stopAfterImage() override { ++stopsAfterImage; }
  bool running() const override { return running_; }
  PortTestSetup testResult() const override { return result; }
  std::string firmwareAfterLoad() const override { return after; }
  int currentRate() const override { return 115200; }

  Script testScript, loadScript, loadWorker;
  // What another thread (a signal's, the engine's worker) reads while the run goes on.
  std::atomic<int> tests{0}, loads{0}, stopsAfterImage{0};
  TestRequest test;
  LoadRequest load;
  PortTestSetup result;
  std::string after;
  std::atomic<LoadEvents*> events_{nullptr};

 private:
  bool begin(LoadEvents& e, const Script& script) {
    running_ = true;
    if (script) script(e);
    events_ = &e;
    return true;
  }
  bool running_ = false;
  std::thread worker_;
};

struct RecordingSink final : RunSink {
  void event(const RunEvent& e) override { events.push_back(e); }
  // The texts of one area, in order.
  std::vector<std::string> notes(NoteArea area) const {
    std::vector<std::string> texts;
    for (const RunEvent& e : events)
      if (const auto* n = std::get_if<Note>(&e); n && n->area == area && !n->text.empty()) texts.push_back(n->text);
    return texts;
  }
  std::string log() const {
    std::string all;
    for (const std::string& t : notes(NoteArea::Log)) all += t;
    return all;
  }
  std::vector<RunEvent> events;
};

void testPasses(LoadEvents& e) {
  e.stageChanged(LoadStage::Connecting, "");
  e.stageChanged(LoadStage::Testing, "");
  e.appendLog("Quering receiver parameters...\r\n");
  e.receiverIdentified("VR100-0001234");
  e.loadSucceeded();
}

void loadPasses(LoadEvents& e) {
  e.runPlanned(2048, {"main.ldp"});
  e.stageChanged(LoadStage::Loading, "Main firmware");
  e.appendStatus("Loading Main firmware...\r\n");
  e.transferProgress(1024, 2048);
  e.setProgress(50);
  e.transferProgress(2048, 2048);
  e.setProgress(100);
  e.imageDone("main.ldp", ImageResult::Flashed);
  e.stageChanged(LoadStage::Done, "");
  e.loadSucceeded(false);
}

class LoaderRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sample::writeDistribution(dir.path(), sample::Options{}, error)) << error;
    job.port = "/dev/ttyFAKE0";
    job.source = dir.path() + "/named.zip";
    job.method = LoadMethod::SoftBreakCapture;
    job.speed = 115200;
    session.testScript = testPasses;
    session.loadScript = loadPasses;
    session.result.mainFirmware = "4.2 Dec,01,2026";
    session.result.currentPort = "/dev/ser/a";
    session.after = "4.3 Dec,08,2026";
  }
  RunOutcome run() {
    PlanResult planned = makeLoadPlan(job, SourceKind::ZipArchive);
    Loader loader(session);
    if (!planned.plan) return loader.refuse(runRequestOf(job), planned.refusal, sink, stop);
    return loader.run(*planned.plan, sink, stop);
  }
  // Stops the run from another thread once its load has started, as a signal's watcher would.
  std::thread stopDuringLoad(std::function<void()> what) {
    return std::thread([this, what] {
      while (session.events_ == nullptr || session.loads == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      what();
    });
  }

  TempDir dir;
  LoadJob job;
  ScriptedSession session;
  RecordingSink sink;
  RunStop stop;
};

}  // namespace

// The pages' texts in the wizard's order, the port test's findings carried into the load, and a
// confirmed outcome as the last event.
TEST_F(LoaderRun, AConfirmedLoadSaysWhatTheWizardSays) {
  const RunOutcome o = run();
  EXPECT_EQ(o.kind, OutcomeKind::Confirmed);
  EXPECT_EQ(o.exitStatus, 0);
  EXPECT_EQ(o.reason, "Successfully loaded!");
  EXPECT_EQ(o.port, "/dev/ttyFAKE0");
  EXPECT_EQ(o.receiver.id, "VR100-0001234");
  EXPECT_EQ(o.firmware.after, "4.3 Dec,08,2026");
  EXPECT_EQ(session.test.speeds.front().speed, 115200);
  EXPECT_EQ(session.load.receiverPort, "/dev/ser/a");
  EXPECT_EQ(session.load.blockSizeChoice, 16384);
  ASSERT_TRUE(std::holds_alternative<RunStarted>(sink.events.front()));
  ASSERT_TRUE(std::holds_alternative<RunEnded>(sink.events.back()));
  const std::string log = sink.log();
  const auto at = [&log](const std::string& text) { return log.find(text); };
  EXPECT_LT(at("Opening /dev/ttyFAKE0..."), at("Quering receiver parameters"));
  EXPECT_LT(at("Quering receiver parameters"), at("Success!"));
  EXPECT_LT(at("Success!"), at("The following files found and will be loaded:"));
  EXPECT_LT(at("The following files"), at("Main firmware: 4.2 Dec,01,2026 -> 4.3 Dec,08,2026"));
  const auto page = sink.notes(NoteArea::Page);
  EXPECT_EQ(page.back(), "Successfully loaded!");
  bool digested = false, progressed = false;
  for (const RunEvent& e : sink.events) {
    if (const auto* d = std::get_if<SourceDigested>(&e)) digested = d->sha256.size() == 64;
    if (const auto* p = std::get_if<TransferProgress>(&e))
      progressed = progressed || (p->percent == 50 && p->bytes == 1024 && p->imageIndex == 1 && p->imageCount == 1);
  }
  EXPECT_TRUE(digested);
  EXPECT_TRUE(progressed);
  // The whole load's percentage never goes back, and 100 comes once, at the end: all its bytes
  // sent is not yet the end.
  std::vector<int> percents;
  for (const RunEvent& e : sink.events)
    if (const auto* p = std::get_if<TransferProgress>(&e)) percents.push_back(p->percent);
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_EQ(std::count(percents.begin(), percents.end(), 100), 1);
  EXPECT_EQ(percents.back(), 100);
  ASSERT_EQ(o.images.size(), 1u);
  EXPECT_EQ(o.images[0].result, ImageResult::Flashed);
  EXPECT_EQ(o.failure, FailureKind::None);
  EXPECT_LT(at("Main firmware: 4.2"), at("Success!\r\nImages: 1 of 1 flashed"));
}

// Only the receiver's answer confirms a firmware load; another version than expected fails it.
TEST_F(LoaderRun, TheReceiversAnswerDecidesTheOutcome) {
  session.after = "";
  RunOutcome o = run();
  EXPECT_EQ(o.kind, OutcomeKind::Unconfirmed);
  EXPECT_EQ(o.exitStatus, 3);
  EXPECT_EQ(o.stage, LoadStage::Confirming);
  EXPECT_NE(o.reason.find("not confirmed"), std::string::npos) << o.reason;

  session.after = "4.2 Dec,01,2026";
  job.expectVersion = "4.3";
  RecordingSink second;
  Loader loader(session);
  o = loader.run(*makeLoadPlan(job, SourceKind::ZipArchive).plan, second, stop);
  EXPECT_EQ(o.kind, OutcomeKind::Failed);
  EXPECT_EQ(o.exitStatus, 1);
  EXPECT_EQ(o.stage, LoadStage::Confirming);
  EXPECT_EQ(o.reason, "The receiver runs main firmware 4.2 Dec,01,2026, but 4.3 was expected.");
}

// What needs no receiver is checked before one is asked anything.
TEST_F(LoaderRun, ARefusedPlanSendsNothingAndSaysWhy) {
  job.source = dir.path() + "/none.zip";
  RunOutcome o = run();
  EXPECT_EQ(o.kind, OutcomeKind::Refused);
  EXPECT_EQ(o.exitStatus, 1);
  EXPECT_EQ(o.reason, "Unable to open " + job.source);
  EXPECT_FALSE(o.stage);
  EXPECT_EQ(session.tests + session.loads, 0);

  job.source = dir.path() + "/named.zip";
  job.port.clear();
  EXPECT_NE(makeLoadPlan(job, SourceKind::ZipArchive).refusal.text.find("/port"), std::string::npos);
  job.port = "/dev/ttyFAKE0";
  job.digest.sha256 = std::string(64, '0');
  const PlanResult wrong = makeLoadPlan(job, SourceKind::ZipArchive);
  EXPECT_FALSE(wrong.plan);
  EXPECT_NE(wrong.refusal.text.find("is not the one meant"), std::string::npos) << wrong.refusal.text;
}

// A stop signal mid-load aborts it, and the last line says what state the receiver may be in.
TEST_F(LoaderRun, AStopSignalAbortsTheLoadAndAdvises) {
  session.loadScript = [](LoadEvents& e) { e.stageChanged(LoadStage::Loading, "Main firmware"); };
  std::thread signal = stopDuringLoad([this] { stop.abort(2); });
  const RunOutcome o = run();
  signal.join();
  EXPECT_EQ(o.kind, OutcomeKind::Aborted);
  EXPECT_EQ(o.exitStatus, 130);
  const std::string log = sink.log();
  EXPECT_NE(log.find("\r\nInterrupted: the receiver may be left in its boot loader"), std::string::npos) << log;
  EXPECT_EQ(o.failure, FailureKind::StoppedBySignal);
  EXPECT_NE(log.find("Failure: stopped by a signal\r\nRemedy: The receiver may be left in its boot loader"),
            std::string::npos)
      << log;
  EXPECT_EQ(o.reason, "Interrupted: the receiver may be left in its boot loader: switch it off and on and load again "
                      "with Power On Capture.");
  EXPECT_EQ(sink.notes(NoteArea::Page).back(), "The firmware loading was aborted.");
}

// The gentle stop lets the image being written end; a stop asked for before the run listened
// still ends it, with nothing sent.
TEST_F(LoaderRun, AGentleStopEndsAfterTheImageAndAnEarlyStopEndsAtOnce) {
  session.loadScript = nullptr;
  session.loadWorker = [this](LoadEvents& e) {
    for (int i = 0; i < 1000 && session.stopsAfterImage == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    e.failureReason("Stopped as asked once Boot Loader was written: the images after it were not loaded.");
    e.loadFailed();
  };
  std::thread gentle = stopDuringLoad([this] { stop.finishImage(10); });
  RunOutcome o = run();
  gentle.join();
  EXPECT_EQ(o.kind, OutcomeKind::Aborted);
  EXPECT_EQ(o.exitStatus, 1);
  EXPECT_EQ(o.reason, "Stopped as asked once Boot Loader was written: the images after it were not loaded.");
  EXPECT_NE(sink.log().find("Asked to stop: the load ends once the image being written is flashed."), std::string::npos);

  // A window's Abort before its load's first step: aborted, never a success.
  RunStop windowStop;
  RecordingSink windowSink;
  ScriptedSession window;
  std::vector<std::function<void()>> queue;
  LoadPlan pages = *makeLoadPlan(job, SourceKind::ZipArchive).plan;
  pages.tested = PortTestSetup{};
  auto started = Loader(window).start(pages, windowSink, windowStop, {[&queue](std::function<void()> fn) { queue.push_back(fn); }, {}}, {});
  started->abort();
  EXPECT_TRUE(started->finished());
  EXPECT_EQ(started->outcome().kind, OutcomeKind::Aborted);
  EXPECT_EQ(started->outcome().exitStatus, 1);
  for (auto& fn : queue) fn();  // what was queued finds the run over
  EXPECT_EQ(window.loads, 0);

  RunStop early;
  early.abort(15);
  RecordingSink quiet;
  ScriptedSession untouched;
  o = Loader(untouched).run(*makeLoadPlan(job, SourceKind::ZipArchive).plan, quiet, early);
  EXPECT_EQ(o.exitStatus, 143);
  EXPECT_EQ(o.kind, OutcomeKind::Aborted);
  EXPECT_EQ(o.reason, "Interrupted: nothing was written to the receiver.");
  EXPECT_EQ(untouched.tests + untouched.loads, 0);
}

// A link's password stays in the plan's one field for it: the port's texts never carry it, the
// port's Open gets it back.
TEST_F(LoaderRun, APasswordIsKeptApartInThePlan) {
  job.port = "tcp:127.0.0.1:4001:s3cret";
  job.method = LoadMethod::FileUpload;
  const PlanResult planned = makeLoadPlan(job, SourceKind::ZipArchive);
  ASSERT_TRUE(planned.plan) << planned.refusal.text;
  const LoadPlan& plan = *planned.plan;
  EXPECT_EQ(plan.password, "s3cret");
  EXPECT_EQ(plan.port.address.find("s3cret"), std::string::npos);
  EXPECT_EQ(plan.shownPort.find("s3cret"), std::string::npos);
  EXPECT_NE(plan.link().address.find("s3cret"), std::string::npos);
  Loader(session).run(plan, sink, stop);
  EXPECT_NE(session.test.port.address.find("s3cret"), std::string::npos) << "the link opens with it";
  for (const RunEvent& e : sink.events) {
    if (const auto* n = std::get_if<Note>(&e)) {
      EXPECT_EQ(n->text.find("s3cret"), std::string::npos) << n->text;
    }
    if (const auto* s = std::get_if<RunStarted>(&e)) {
      EXPECT_EQ(s->port.find("s3cret"), std::string::npos);
    }
  }
}
