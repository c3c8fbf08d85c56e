#include "LoadRun.h"

// A run's steps in the order the wizard's pages take them: the row, the connection page and its
// port test, the source page, the loading page and its load.
#include "EngineReports.h"
#include "LinkKinds.h"
#include "RunRecord.h"
#include "RunSink.h"
#include "WizardModel.h"

LoadRun::LoadRun(EngineSession& session, RunSink& sink, RunStop& stop) : session_(session), sink_(sink), stop_(stop) {
  stop_.listen([this](RunStop::Kind kind, int signal) {
    loop_.post([this, kind, signal] { kind == RunStop::Kind::Abort ? interrupt(signal) : finishImage(signal); });
  });
}

LoadRun::~LoadRun() {
  stop_.listen({});
  session_.stop();
}

// The run's row is begun before anything is asked of the receiver; without it, when the operator
// requires it, nothing may be sent.
bool LoadRun::begin(const RunRequest& request) {
  shownPort_ = request.port;
  emit(RunStarted{request.port, request.methodWord, request.source});
  record_ = std::make_unique<RunRecord>(request.history, &stop_.latch());
  recordWarning(record_->begin(request.portEntry, request.methodWord, request.source));
  if (!request.history.required || !request.history.enabled || record_->open()) return true;
  const std::string refusal =
      "The load history cannot be written, and --history-required asks for it: nothing was sent to the receiver.";
  appendLog(refusal + "\r\n");
  setPageText(refusal);
  failure_ = refusal;
  refused_ = true;
  exitStatus_ = exitstatus::kFailed;
  return false;
}

// What was queued is handled (a stop among it); false when the run ends here.
bool LoadRun::goesOn() {
  loop_.drain();
  return interrupted_ == 0 && exitStatus_ == exitstatus::kLoaded;
}

RunOutcome LoadRun::refuse(const RunRequest& request, const std::string& refusal) {
  if (begin(request) && goesOn()) {
    appendLog(refusal + "\r\n");
    failure_ = refusal;
    refused_ = true;
    exitStatus_ = exitstatus::kFailed;
  }
  return finish();
}

RunOutcome LoadRun::run(const LoadPlan& plan) {
  plan_ = &plan;
  const RunRequest request{plan.shownPort, plan.methodWord, plan.source, plan.port, plan.history};
  if (!begin(request) || !goesOn()) return finish();
  page_ = Page::Connection;
  emit(PageEntered{RunPage::Connection});
  setPageText(wizard::connectionPageText());
  clearLog();
  if (plan.testsPort() && !test()) return finish();
  if (!selectSource() || !goesOn()) return finish();
  page_ = Page::Loading;
  emit(PageEntered{RunPage::Loading});
  setPageText("");
  load();
  return finish();
}

bool LoadRun::test() {
  replaceLog("Opening " + plan_->port.name + "...");
  TestRequest request;
  request.port = plan_->port;
  request.method = plan_->method;
  request.speeds = plan_->testSpeeds;
  failure_.clear();
  reports_ = std::make_unique<EngineReports>(*this, loop_, ++run_);
  runEnded_ = false;
  session_.startTest(request, *reports_);
  waitForEnd();
  return goesOn();
}

void LoadRun::testFinished() {
  endRun();
  tested_ = session_.testResult();
  learnedReceiver();
}

// The source page: the plan's source was read already; its digest and its images are shown.
bool LoadRun::selectSource() {
  page_ = Page::Source;
  emit(PageEntered{RunPage::Source});
  setPageText(wizard::sourcePageText());
  clearLog();
  sourceSha256_ = plan_->sourceSha256;
  if (!sourceSha256_.empty()) emit(SourceDigested{plan_->source, sourceSha256_});
  clearLog();
  appendLog(wizard::sourceListing(plan_->images));
  return true;
}

bool LoadRun::load() {
  firmwareChange_ = {};
  loaded_.clear();
  images_ = plan_->images;
  LoadRequest request;
  request.port = plan_->port;
  request.method = plan_->method;
  request.sourceKind = plan_->sourceKind;
  request.speed = plan_->speed;
  // A file upload loads at the rate the port test left the receiver at, when the list has it.
  if (plan_->method == LoadMethod::FileUpload)
    for (const SpeedEntry& e : wizard::speedsFor(plan_->port.kind))
      if (e.speed == session_.currentRate()) request.speed = static_cast<uint32_t>(e.speed);
  request.mtu = plan_->mtu;
  request.replyGapMs = plan_->replyGapMs;
  request.blockSizeChoice = plan_->blockSize;
  request.receiverPort = tested_.currentPort;
  request.portBPowerSlots = tested_.portBPowerSlots;
  failure_.clear();
  reports_ = std::make_unique<EngineReports>(*this, loop_, ++run_);
  runEnded_ = false;
  session_.startLoad(request, images_, *reports_);
  waitForEnd();
  return goesOn();
}

void LoadRun::waitForEnd() {
  loop_.runUntil([this] { return runEnded_; });
}

// The engine run under way is over: its worker is joined, and its last reports are queued.
void LoadRun::endRun() {
  session_.stop();
  runEnded_ = true;
}

bool LoadRun::isCurrentRun(uint64_t run) const { return session_.running() && run == run_; }
