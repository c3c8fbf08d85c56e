#include "PortTest.h"

#include <algorithm>
#include <set>
#include <vector>

#include "CommandChannel.h"
#include "LoadWorker.h"
#include "Timing.h"

using namespace CMNC::timing;

namespace {

const char kWakeUp[] = "\n\ndm\n##OFF##\ndm\n%%\n";
const char kProbe[] = "%PORT TEST%\n";
constexpr std::size_t kProbeAnswerLength = 18;
constexpr int kWakeBuffer = 10240;
constexpr int kReplyBuffer = 10239;
const char* const kIdentityRequests[] = {
    "\ndm\n##OFF##\ndm\n\n%Current port%print,/cur/term\n",
    "%Receiver model%print,/par/rcv/model\n",
    "%Receiver board%print,/par/rcv/ver/board\n",
    "%RAM size (KB)%print,/par/rcv/mem\n",
    "%Main  firmware%print,/par/rcv/ver/main\n",
    "%Port speed%print,/par/cur/term/rate\n",
};
const char kPowerModel[] = "QUBRA";
const char kPowerPort[] = "/dev/ser/b";
const char kSerialPortPrefix[] = "/dev/ser/";

enum class Probe { Answered, Silent, Aborted };

Probe probeOnce(LoadWorker& w) {
  CommandChannel& ch = *w.channel;
  w.events.appendLog(".");
  ch.Purge(CMNC::kPurgeTxClear | CMNC::kPurgeRxClear);
  if (!ch.SendText(kWakeUp)) return Probe::Silent;
  const std::string wake = ch.ReadText(kWakeBuffer);
  if (w.aborted()) return Probe::Aborted;
  if (wake.empty()) return Probe::Silent;
  ch.Purge(CMNC::kPurgeTxClear | CMNC::kPurgeRxClear);
  ch.SendText(kProbe);
  std::string answer = ch.ReadText(kReplyBuffer, kProbeReadMs, kProbeGapMs);
  if (w.aborted()) return Probe::Aborted;
  if (answer.empty()) return Probe::Silent;
  // Only the tail is a well-formed answer: "RE", three length characters, "%PORT TEST%", CR LF.
  if (answer.size() > kProbeAnswerLength) answer = answer.substr(answer.size() - kProbeAnswerLength);
  std::string tag, body;
  return CommandChannel::ParseReply(answer, tag, body) && tag == "PORT TEST" && body.empty() ? Probe::Answered
                                                                                             : Probe::Silent;
}

void readIdentity(LoadWorker& w, PortTestSetup& setup) {
  CommandChannel& ch = *w.channel;
  w.events.appendLog("");
  setup.portBPowerSlots = false;
  for (const char* request : kIdentityRequests) {
    if (w.aborted()) return;
    if (!ch.SendText(request)) continue;
    const std::string reply = ch.ReadText(kReplyBuffer, kIdentityReadMs, kIdentityGapMs);
    if (reply.empty()) continue;
    std::string tag, body;
    if (CommandChannel::ParseReply(reply, tag, body)) {
      w.events.appendLog(tag + ": " + body + "\r\n");
      if (tag == "Current port") setup.currentPort = body;
      if (tag == "Receiver model") setup.model = body;
    } else {
      w.events.appendLog(reply);
    }
  }
  setup.model = CommandChannel::TrimBlanks(setup.model);
}

void powerSlotRule(LoadWorker& w, PortTestSetup& setup) {
  if (setup.model != kPowerModel || setup.currentPort != kPowerPort) return;
  CommandChannel& ch = *w.channel;
  if (!ch.SendText("%Bluetooth Power%print,/par/pwr/slots\n")) return;
  const std::string reply = ch.ReadText(kReplyBuffer, kIdentityReadMs, kIdentityGapMs);
  std::string tag, body;
  if (reply.empty() || !CommandChannel::ParseReply(reply, tag, body)) return;
  setup.portBPowerSlots = true;
  if (CommandChannel::TrimBlanks(body) != "always") ch.SendText("set,/par/pwr/slots,always\n");
}

}  // namespace

uint32_t portTestProcedure(LoadWorker& w, PortTestSetup& setup) {
  CommandChannel& ch = *w.channel;
  const std::vector<SpeedEntry>& speeds = setup.speeds;
  std::set<int> refused;
  int answers = 0;
  for (int pass = 0; pass < kPortTestPasses && answers < 2; ++pass) {
    for (std::size_t i = 0; i < speeds.size() && answers < 2;) {
      if (w.aborted()) {
        w.events.appendLog("\r\nAborted.");
        return 0;
      }
      const bool speedSet = ch.SetRate(speeds[i].speed, false);
      if (!speedSet) refused.insert(speeds[i].speed);
      w.events.appendLog("");
      w.events.appendLog("Trying " + speeds[i].text);
      Probe probe = Probe::Silent;
      for (int attempt = 0; speedSet && attempt < kPortTestAttempts && probe == Probe::Silent; ++attempt)
        probe = probeOnce(w);
      if (probe == Probe::Aborted) {
        w.events.appendLog("\r\nAborted.");
        return 0;
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
        ch.SendText("set,/par/cur/term/rate," + std::to_string(wanted) + "\n");
        w.sleep(kAfterRateCommandMs);
        i = 0;
      }
    }
  }
  if (answers < 2) {
    w.events.appendLog("\r\nReceiver not found.");
    w.events.loadAborted();
    return 0;
  }
  readIdentity(w, setup);
  if (w.aborted()) return 0;
  powerSlotRule(w, setup);
  if (setup.method != LoadMethod::FileUpload &&
      (setup.currentPort.size() < 10 || setup.currentPort.compare(0, 9, kSerialPortPrefix) != 0)) {
    w.events.appendLog("Error: The receiver must be connected by its serial port using a cable.");
    w.events.loadAborted();
    return 0;
  }
  w.events.loadSucceeded();
  return 0;
}
