#include "PortTest.h"

#include <algorithm>
#include <set>
#include <vector>

#include "CommandChannel.h"
#include "LinkKinds.h"
#include "LoadWorker.h"
#include "ReceiverLanguage.h"
#include "EngineTiming.h"

using namespace CMNC::timing;
namespace lang = CMNC::lang;

namespace {

// What a try at one speed says: a link without a line rate of its own (network, USB) has no speed
// to try, only the receiver to ask.
std::string tryingText(const LoadWorker& w, const SpeedEntry& speed) {
  return CMNC::LinkKindOf(w.channel->kind()).policy.lineSpeeds ? "Trying " + speed.text
                                                                : std::string("Asking the receiver");
}

constexpr int kWakeBuffer = 10240;
constexpr int kReplyBuffer = 10239;
const char kSerialPortPrefix[] = "/dev/ser/";
const char kPowerModel[] = "QUBRA";  // the model whose Bluetooth port needs power in every slot
const char kPowerPort[] = "/dev/ser/b";

enum class Probe { Answered, Silent, Aborted };

Probe probeOnce(LoadWorker& w) {
  CommandChannel& ch = *w.channel;
  w.events.appendLog(".");
  ch.Purge(CMNC::kPurgeTxClear | CMNC::kPurgeRxClear);
  if (!ch.SendText(lang::kWakeUp)) return Probe::Silent;
  const std::string wake = ch.ReadText(kWakeBuffer);
  if (w.aborted()) return Probe::Aborted;
  if (wake.empty()) return Probe::Silent;
  ch.Purge(CMNC::kPurgeTxClear | CMNC::kPurgeRxClear);
  ch.SendText(lang::kProbe);
  const std::string answer = ch.ReadBytes(kReplyBuffer, kProbeReadMs, kProbeGapMs);
  if (w.aborted()) return Probe::Aborted;
  return lang::IsProbeAnswer(answer) ? Probe::Answered : Probe::Silent;
}

// One identity question; its answer is logged and kept by its tag.
void askIdentity(LoadWorker& w, PortTestSetup& setup, const char* request) {
  CommandChannel& ch = *w.channel;
  if (!ch.SendText(request)) return;
  const std::string reply = ch.ReadText(kReplyBuffer, kIdentityReadMs, kIdentityGapMs);
  if (reply.empty()) return;
  std::string tag, body;
  if (!lang::ParseReply(reply, tag, body)) {
    w.events.appendLog(reply);
    return;
  }
  w.events.appendLog(tag + ": " + body + "\r\n");
  if (tag == lang::kCurrentPortTag) setup.currentPort = body;
  if (tag == lang::kModelTag) setup.model = lang::TrimBlanks(body);
  if (tag == lang::kBoardTag) setup.board = lang::TrimBlanks(body);
  if (tag == lang::kMainFirmwareTag) setup.mainFirmware = lang::TrimBlanks(body);
  if (tag == lang::kReceiverIdentityTag) setup.identity = lang::TrimBlanks(body);
  if (tag == lang::kHardwareTag) setup.hardware = lang::TrimBlanks(body);
}

void readIdentity(LoadWorker& w, PortTestSetup& setup) {
  w.events.appendLog("");
  setup.portBPowerSlots = false;
  for (const char* request : lang::kIdentityRequests) {
    if (w.aborted()) return;
    askIdentity(w, setup, request);
  }
  for (const char* request : lang::kIdentityExtraRequests) {
    if (w.aborted()) return;
    askIdentity(w, setup, request);
  }
  if (!setup.identity.empty()) w.events.receiverIdentified(setup.identity);
  if (!setup.hardware.empty()) w.events.hardwareReported(setup.hardware);
}

// Tries each speed until the receiver answers a probe; the speed it answered at, or 0.
int findAnsweringSpeed(LoadWorker& w, const std::vector<SpeedEntry>& speeds) {
  if (!w.channel->HasLineRate()) {  // one try: there is no speed to find
    for (int attempt = 0; attempt < kPortTestAttempts; ++attempt) {
      const Probe probe = probeOnce(w);
      if (probe != Probe::Silent) return probe == Probe::Answered ? 1 : 0;
    }
    return 0;
  }
  for (const SpeedEntry& entry : speeds) {
    if (w.aborted()) return 0;
    if (!w.channel->SetRate(entry.speed, false)) continue;
    w.events.appendLog("");
    w.events.appendLog(tryingText(w, entry));
    for (int attempt = 0; attempt < kPortTestAttempts; ++attempt) {
      const Probe probe = probeOnce(w);
      if (probe == Probe::Answered) return entry.speed;
      if (probe == Probe::Aborted) return 0;
    }
  }
  return 0;
}

}  // namespace

std::string askMainFirmware(LoadWorker& w) {
  CommandChannel& ch = *w.channel;
  if (w.aborted() || !ch.SendText(lang::kMainFirmwareQuery)) return {};
  const std::string reply = ch.ReadText(kReplyBuffer, kIdentityReadMs, kIdentityGapMs);
  std::string tag, body;
  if (!lang::ParseReply(reply, tag, body) || tag != lang::kMainFirmwareTag) return {};
  return lang::TrimBlanks(body);
}

namespace {

void powerSlotRule(LoadWorker& w, PortTestSetup& setup) {
  if (setup.model != kPowerModel || setup.currentPort != kPowerPort) return;
  CommandChannel& ch = *w.channel;
  if (!ch.SendText(lang::kPowerSlotsQuery)) return;
  const std::string reply = ch.ReadText(kReplyBuffer, kIdentityReadMs, kIdentityGapMs);
  std::string tag, body;
  if (reply.empty() || !lang::ParseReply(reply, tag, body)) return;
  setup.portBPowerSlots = true;
  if (lang::TrimBlanks(body) != lang::kPowerSlotsAlways) ch.SendText(lang::kPowerSlotsAlwaysCommand);
}

}  // namespace

void portTestProcedure(LoadWorker& w, PortTestSetup& setup) {
  CommandChannel& ch = *w.channel;
  const std::vector<SpeedEntry>& speeds = setup.speeds;
  std::set<int> refused;
  int answers = 0;
  for (int pass = 0; pass < kPortTestPasses && answers < 2; ++pass) {
    for (std::size_t i = 0; i < speeds.size() && answers < 2;) {
      if (w.aborted()) {
        w.events.appendLog("\r\nAborted.");
        return;
      }
      const bool speedSet = ch.SetRate(speeds[i].speed, false);
      if (!speedSet) refused.insert(speeds[i].speed);
      w.events.appendLog("");
      w.events.appendLog(tryingText(w, speeds[i]));
      Probe probe = Probe::Silent;
      for (int attempt = 0; speedSet && attempt < kPortTestAttempts && probe == Probe::Silent; ++attempt)
        probe = probeOnce(w);
      if (probe == Probe::Aborted) {
        w.events.appendLog("\r\nAborted.");
        return;
      }
      if (probe != Probe::Answered) {
        ++i;
        continue;
      }
      ++answers;
      if (answers == 1) {
        // Move the receiver to the selected speed only when this computer's port can use it.
        const int wanted = speeds.front().speed;
        if (refused.count(wanted) || (wanted != speeds[i].speed && !ch.SetRate(wanted, false))) {
          ch.SetRate(speeds[i].speed, false);
          answers = 2;
          break;
        }
        ch.SetRate(speeds[i].speed, false);
        ch.SendText(lang::setRateCommand(wanted));
        w.sleep(kAfterRateCommandMs);
        i = 0;
      }
    }
  }
  setup.answeredRate = ch.currentRate();
  if (answers < 2) {
    w.events.appendLog("\r\nReceiver not found.");
    w.endFailed("Receiver not found.", w.channel->linkFailed() ? FailureKind::LinkLost : FailureKind::ReceiverSilent);
    return;
  }
  readIdentity(w, setup);
  if (w.aborted()) return;
  powerSlotRule(w, setup);
  if (setup.method != LoadMethod::FileUpload &&
      (setup.currentPort.size() < 10 || setup.currentPort.compare(0, 9, kSerialPortPrefix) != 0)) {
    const std::string reason = "Error: The receiver must be connected by its serial port using a cable.";
    w.events.appendLog(reason);
    w.endFailed(reason, FailureKind::PortUnavailable);
    return;
  }
  w.events.loadSucceeded();
}

void identifyProcedure(LoadWorker& w, PortTestSetup& setup) {
  setup.answeredRate = findAnsweringSpeed(w, setup.speeds);
  if (w.aborted()) return;
  if (setup.answeredRate == 0) {
    w.events.appendLog("\r\nReceiver not found.");
    w.endFailed("Receiver not found.", w.channel->linkFailed() ? FailureKind::LinkLost : FailureKind::ReceiverSilent);
    return;
  }
  if (!w.channel->HasLineRate()) setup.answeredRate = 0;  // a network or USB link has no speed of its own
  readIdentity(w, setup);
  if (w.aborted()) return;
  w.events.loadSucceeded();
}
