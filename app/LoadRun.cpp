#include "LoadRun.h"

// A run's steps in the order the wizard's pages take them: the row, the connection page and its
// port test, the source page, the loading page and its load. Each step is queued behind what the
// run's thread holds already (a stop among it), and checks that the run goes on.
#include "EngineReports.h"
#include "LinkKinds.h"
#include "RunRecord.h"
#include "RunSink.h"
#include "WizardModel.h"

LoadRun::LoadRun(EngineSession& session, RunSink& sink, RunStop& stop, RunThread thread, Ended ended)
    : session_(session), sink_(sink), stop_(stop), thread_(std::move(thread)), ended_(std::move(ended)) {
  stop_.listen([this](RunStop::Kind kind, int signal) {
    later([this, kind, signal] { kind == RunStop::Kind::Abort ? interrupt(signal) : finishImage(signal); });
  });
}

LoadRun::~LoadRun() {
  stop_.listen({});
  session_.stop();
  *alive_ = false;
}

void LoadRun::later(std::function<void()> fn) {
  thread_.post([alive = alive_, fn = std::move(fn)] {
    if (*alive) fn();
  });
}

void LoadRun::end() {
  ending_ = true;
  later([this] { finish(); });
}

bool LoadRun::goesOn() const { return !ending_ && interrupted_ == 0 && exitStatus_ == exitstatus::kLoaded; }

// The run's row is begun before anything is asked of the receiver; without it, when the operator
// requires it, nothing may be sent.
bool LoadRun::begin(const RunRequest& request) {
  shownPort_ = request.port;
  send(RunStarted{request.port, request.methodWord, request.source});
  record_ = std::make_unique<RunRecord>(request.history, &stop_.latch());
  recordWarning(record_->begin(request.portEntry, request.methodWord, request.source));
  if (!request.history.required || !request.history.enabled || record_->open()) return true;
  const std::string refusal =
      "The load history cannot be written, and --history-required asks for it: nothing was sent to the receiver.";
  appendLog(refusal + "\r\n", Severity::Error);
  setPageText(refusal);
  failure_ = refusal;
  refused_ = true;
  exitStatus_ = exitstatus::kFailed;
  return false;
}

void LoadRun::refuse(const RunRequest& request, const std::string& refusal, FailureKind kind) {
  if (!begin(request)) return end();
  later([this, refusal, kind] {
    if (!goesOn()) return;
    appendLog(refusal + "\r\n", Severity::Error);
    failure_ = refusal;
    failureKind_ = kind;
    refused_ = true;
    exitStatus_ = exitstatus::kFailed;
    end();
  });
}

void LoadRun::start(LoadPlan plan) {
  plan_ = std::move(plan);
  const RunRequest request{plan_.shownPort, plan_.methodWord, plan_.source, plan_.port, plan_.history};
  if (!begin(request)) return end();
  if (plan_.tested) {
    tested_ = *plan_.tested;
    later([this] { load(); });
  } else {
    later([this] { connect(); });
  }
}

// The row is completed at once: a window that closes handles nothing after this.
void LoadRun::abort() {
  if (finished_) return;
  if (!outcomeKnown_) {
    operatorStopped_ = true;
    stopAdvice_ = interruptAdvice();
    cancel();
    exitStatus_ = exitstatus::kFailed;  // also when no engine run had begun yet
  }
  finish();
}

void LoadRun::connect() {
  if (!goesOn()) return;
  page_ = Page::Connection;
  send(PageEntered{RunPage::Connection});
  setPageText(wizard::connectionPageText(), Severity::Instruction);
  clearLog();
  if (!plan_.testsPort()) return later([this] { selectSource(); });
  replaceLog("Opening " + plan_.port.name + "...");
  TestRequest request;
  request.port = plan_.link();
  request.method = plan_.method;
  request.speeds = plan_.testSpeeds;
  session_.startTest(request, nextEngineRun());
}

void LoadRun::testFinished() {
  endRun();
  tested_ = session_.testResult();
  learnedReceiver();
  later([this] { selectSource(); });
}

// The source page: the plan's source was read already; its digest and its images are shown.
void LoadRun::selectSource() {
  if (!goesOn()) return;
  page_ = Page::Source;
  send(PageEntered{RunPage::Source});
  setPageText(wizard::sourcePageText(), Severity::Instruction);
  clearLog();
  sourceSha256_ = plan_.sourceSha256;
  if (!sourceSha256_.empty()) send(SourceDigested{plan_.source, sourceSha256_});
  clearLog();
  appendLog(wizard::sourceListing(plan_.images));
  saySignature();
  later([this] { enterLoading(); });
}

// Who signed the source, or why its signature could not be held to a key.
void LoadRun::saySignature() {
  if (!plan_.history.signerKey.empty())
    appendLog("\r\nSigned by the trusted key " + plan_.history.signerKey + "; trusted comment: " +
              plan_.history.signerComment);
  if (!plan_.signatureWarning.empty()) appendLog("\r\nWarning: " + plan_.signatureWarning, Severity::Warning);
}

void LoadRun::enterLoading() {
  if (!goesOn()) return;
  page_ = Page::Loading;
  send(PageEntered{RunPage::Loading});
  setPageText("");
  load();
}

// Before the loading page touches the receiver: the images read and checked (a window's plan
// names them only), and the set held against the receiver the port test found.
bool LoadRun::fitsReceiver() {
  if (!plan_.inspected) {
    if (std::string refusal = inspectPlanImages(plan_, &stop_.latch()); !refusal.empty()) {
      refuseLoad(refusal, FailureKind::SourceRefused);
      return false;
    }
  }
  if (!plan_.signatureChecked) {  // a window's plan: checked before its first byte
    if (std::string refusal = checkPlanSignature(plan_, &stop_.latch()); !refusal.empty()) {
      refuseLoad(refusal, FailureKind::SourceRefused);
      return false;
    }
    if (record_) record_->signedBy(plan_.history.signerKey, plan_.history.signerComment);
    saySignature();
  }
  if (std::string refusal = receiverMismatch(plan_, tested_.identity); !refusal.empty()) {
    refuseLoad(refusal, FailureKind::WrongReceiver);
    return false;
  }
  const ReceiverFit fit = fitPlanToReceiver(plan_, tested_.hardware);
  if (!fit.chosen.empty()) {
    std::string names;
    for (const std::string& name : fit.chosen) names += (names.empty() ? "" : ", ") + name;
    appendLog("For this receiver (hardware version " + tested_.hardware + "): " + names + ".\r\n");
  }
  if (fit.refusal.empty()) return true;
  refuseLoad(fit.refusal, fit.kind);
  return false;
}

// The load is refused before anything was sent: the page and the log say why.
void LoadRun::refuseLoad(const std::string& refusal, FailureKind kind) {
  setPageText(refusal);
  appendLog(refusal + "\r\n", Severity::Error);
  failure_ = refusal;
  failureKind_ = kind;
  refused_ = true;
  exitStatus_ = exitstatus::kFailed;
  outcomeKnown_ = true;
  end();
}

void LoadRun::load() {
  if (!goesOn()) return;
  page_ = Page::Loading;
  if (!fitsReceiver()) return;
  sourceSha256_ = plan_.sourceSha256;
  firmwareChange_ = {};
  results_.clear();
  fileSystemReady_.reset();
  currentImage_.clear();
  imageIndex_ = 0;
  images_ = plan_.images;
  LoadRequest request;
  request.port = plan_.link();
  request.method = plan_.method;
  request.sourceKind = plan_.sourceKind;
  request.speed = plan_.speed;
  // A file upload loads at the rate the port test left the receiver at, when the list has it.
  if (plan_.method == LoadMethod::FileUpload)
    for (const SpeedEntry& e : wizard::speedsFor(plan_.port.kind))
      if (e.speed == session_.currentRate()) request.speed = static_cast<uint32_t>(e.speed);
  request.mtu = plan_.mtu;
  request.replyGapMs = plan_.replyGapMs;
  request.blockSizeChoice = plan_.blockSize;
  request.receiverPort = tested_.currentPort;
  request.portBPowerSlots = tested_.portBPowerSlots;
  keepAwake();
  session_.startLoad(request, images_, nextEngineRun());
}

// Nothing on the computer's side may cut the flash short: sleep and shutdown are held off from
// here until the run ends. Without the system's lock the load goes on, said once.
void LoadRun::keepAwake() {
  constexpr std::size_t kMaxWhy = 200;  // logind shows it to whoever asks to shut down
  std::string why = "Writing firmware to " + (tested_.model.empty() ? std::string("a receiver") : tested_.model) +
                    " at " + plan_.shownPort + ":";
  for (const std::string& name : images_.names) why += " " + name;
  if (why.size() > kMaxWhy) why = why.substr(0, kMaxWhy - 3) + "...";
  std::string warning;
  sleepGuard_ = SleepGuard::take(why, warning);
  if (!warning.empty())
    appendLog("Warning: nothing keeps the computer from sleeping or shutting down during the load: " + warning +
                  ".\r\n",
              Severity::Warning);
}

// A new engine run's reports, tagged with its serial; its failure, if any, is its own.
EngineReports& LoadRun::nextEngineRun() {
  failure_.clear();
  failureKind_ = FailureKind::Other;
  reports_ = std::make_unique<EngineReports>(*this, [this](std::function<void()> fn) { later(std::move(fn)); }, ++run_);
  runEnded_ = false;
  return *reports_;
}

// The engine run under way is over: its worker is joined, and its last reports are queued.
void LoadRun::endRun() {
  session_.stop();
  runEnded_ = true;
}

bool LoadRun::isCurrentRun(uint64_t run) const { return session_.running() && run == run_; }
