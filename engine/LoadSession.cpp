#include "LoadSession.h"

#include <algorithm>

#include "BootEntry.h"
#include "BridgeLatch.h"
#include "BridgeLines.h"
#include "LinkKinds.h"
#include "LoadDriver.h"
#include "ReceiverLanguage.h"
#include "EngineTiming.h"

using namespace CMNC::timing;

namespace {

constexpr int kBluetoothPortUnit = 128;   // bytes per write on the receiver's Bluetooth port
constexpr int kMinTransferUnit = 32;
const char kReceiverBluetoothPort[] = "/dev/blt/a";

std::string openError(const CommandChannel& channel, const std::string& port) {
  return "Error opening port " + port + ":\r\n" + channel.lastError() + "\r\n";
}

// "Test": connect, raise the bridge's output latch on a serial link, then the test procedure.
// Opens the link for a test or an identification; false (the refusal reported) when it cannot.
bool connectForTest(LoadWorker& w, const PortEntry& port) {
  w.enterStage(LoadStage::Connecting);
  if (!w.channel->Connect(port)) {
    if (!w.aborted()) w.events.startRefused("", openError(*w.channel, port.name));
    return false;
  }
  w.enterStage(LoadStage::Testing);
  return true;
}

void testProcedure(LoadWorker& w, const PortEntry& port, PortTestSetup& setup) {
  if (!connectForTest(w, port)) return;
  w.channel->SetBridgeLatch(bridgelines::kReady, bridgelines::kReady);
  w.events.appendLog("Quering receiver parameters...\r\n");
  portTestProcedure(w, setup);
}

// What the loading page does before the load driver; false when the run ends here.
bool prepareLoad(LoadWorker& w, const LoadRequest& r) {
  CommandChannel& ch = *w.channel;
  w.enterStage(LoadStage::Connecting);
  if (!ch.Connect(r.port)) {
    if (!w.aborted())
      w.events.startRefused("The port " + r.port.name + " can't be opened. Please return back and correct the problem.",
                            openError(ch, r.port.name));
    return false;
  }
  if (const int unit = LoadSession::transferUnitFor(r); unit != 0) ch.setMaxWriteChunk(unit);
  if (const auto entry = BootEntry::forMethod(r.method); entry && !entry->enter(w)) return false;
  if (r.method == LoadMethod::FileUpload) {
    w.events.appendLog("Configuring the receiver for firmware uploading...\r\n");
    return true;
  }
  if (!ch.SetRate(static_cast<int>(r.speed), true)) {
    const std::string speed = std::to_string(r.speed);
    w.images->clear();  // the operator chooses the firmware again
    ch.Disconnect();
    w.events.startRefused("The port " + r.port.name + " does not support speed " + speed +
                              ". Please return back and correct the problem.",
                          "Error trying to set speed to " + speed);
    return false;
  }
  return true;
}

}  // namespace

LoadSession::LoadSession(CommandChannel::PortFactory factory, CMNC::Clock& clock)
    : channel_(std::move(factory)), clock_(clock) {}

LoadSession::~LoadSession() { stop(); }

RunSettings LoadSession::settingsFor(const LoadRequest& r) {
  RunSettings s;
  s.method = r.method;
  s.sourceKind = r.sourceKind;
  s.portBPowerSlots = r.portBPowerSlots;
  s.replyGapMs = r.replyGapMs;
  if (r.method == LoadMethod::FileUpload) {
    const CMNC::LinkPolicy& link = CMNC::LinkKindOf(r.port.kind).policy;
    s.blockSize = link.uploadBlockSize != 0 ? link.uploadBlockSize : r.blockSizeChoice;
    if (link.slowPut) s.putTimeout = RunSettings::kSlowLinkPutTimeout;
  }
  return s;
}

int LoadSession::transferUnitFor(const LoadRequest& r) {
  int unit = r.receiverPort == kReceiverBluetoothPort ? kBluetoothPortUnit : 0;
  if (r.mtu != 0) unit = static_cast<int>(std::min<uint32_t>(r.mtu, CommandChannel::kDefaultMaxWriteChunk));
  return unit == 0 ? 0 : std::max(unit, kMinTransferUnit);
}

bool LoadSession::startTest(const TestRequest& request, LoadEvents& events) {
  return startTestRun(request, events, [this](LoadWorker& w, const PortEntry& port) { testProcedure(w, port, test_); });
}

bool LoadSession::startIdentify(const TestRequest& request, LoadEvents& events) {
  return startTestRun(request, events, [this](LoadWorker& w, const PortEntry& port) {
    if (connectForTest(w, port)) identifyProcedure(w, test_);
  });
}

bool LoadSession::startTestRun(const TestRequest& request, LoadEvents& events,
                               std::function<void(LoadWorker&, const PortEntry&)> procedure) {
  if (worker_) return false;
  test_ = PortTestSetup{};
  test_.speeds = request.speeds;
  test_.method = request.method;
  RunSettings settings;
  settings.method = request.method;
  start(RunKind::Test, noImages_, settings,
        [port = request.port, procedure = std::move(procedure)](LoadWorker& w) { procedure(w, port); }, events);
  return true;
}

bool LoadSession::startLoad(const LoadRequest& request, FirmwareImageSet& images, LoadEvents& events) {
  if (worker_) return false;
  firmwareAfter_.clear();
  start(RunKind::Load, images, settingsFor(request),
        [this, request](LoadWorker& w) {
          // The images are read and checked before the port opens: no reset for a set that cannot go.
          PreparedSet prepared;
          if (prepareSet(w, prepared) && prepareLoad(w, request)) loadSet(w, prepared, &firmwareAfter_);
        },
        events);
  return true;
}

void LoadSession::start(RunKind kind, FirmwareImageSet& images, const RunSettings& settings,
                        LoadWorker::Procedure procedure, LoadEvents& events) {
  kind_ = kind;
  channel_.ResetAbort();  // the last run's stop must not end this one
  channel_.setExchangeWatch([&events](const std::string& line) { events.exchange(line + "\r\n"); });
  worker_ = std::make_unique<LoadWorker>(channel_, images, settings, std::move(procedure), events, clock_);
  worker_->resume();
}

void LoadSession::stopAfterImage() {
  if (worker_) worker_->stopAfterImage.store(true);
}

void LoadSession::stop() {
  if (!worker_) return;
  worker_->stop();
  worker_.reset();
  channel_.setExchangeWatch({});
  if (kind_ == RunKind::Load) {
    // The next connection starts at the receiver's normal rate, not at the loading speed.
    channel_.setCurrentRate(channel_.previousRate());
    channel_.SetRate(channel_.previousRate(), false);
  }
  kind_ = RunKind::None;
}
