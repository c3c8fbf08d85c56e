#include "PortCheck.h"

#include <algorithm>

#include "CheckFindings.h"
#include "LinkKinds.h"

namespace CMNC {

using Verdict = CheckFinding::Verdict;

std::vector<CheckFinding> CheckPort(const PortEntry& port, const SystemProbe& probe) {
  Findings f;
  switch (LinkKindOf(port.kind).preflight) {
    case Preflight::Serial: CheckSerialPort(f, port.address.empty() ? port.name : port.address, probe); break;
    case Preflight::Usb: CheckUsbPort(f, port.address, probe); break;
    case Preflight::BluetoothAdapter: CheckBluetoothAdapter(f, probe); break;
    case Preflight::Network: f.ok("network", "a network link: nothing to check on this computer"); break;
    case Preflight::None:
      f.warn("checkable", "no pre-flight check knows this kind of link", "try the port with a test run instead");
      break;
  }
  return f.take();
}

void CheckLatencyTimer(Findings& f, const std::string& port, const SystemProbe& probe, const std::string& remedy) {
  const std::optional<int> timer = probe.latencyTimerMs(port);
  if (!timer) return;
  const std::string ms = std::to_string(*timer) + " ms";
  if (*timer <= kLatencyTimerGoalMs) f.ok("latency-timer", "USB-serial bridge with a latency timer of " + ms);
  else f.warn("latency-timer", "USB-serial bridge holding received bytes up to " + ms + " (its latency timer), which slows block transfers", remedy);
}

bool PortUsable(const std::vector<CheckFinding>& findings) {
  return std::none_of(findings.begin(), findings.end(),
                      [](const CheckFinding& c) { return c.verdict == Verdict::Problem; });
}

std::string CheckLine(const std::string& port, const CheckFinding& finding) {
  const char* head = finding.verdict == Verdict::Ok ? "OK      " : finding.verdict == Verdict::Warning ? "WARNING " : "PROBLEM ";
  return head + port + ": " + finding.text + (finding.remedy.empty() ? "" : ": " + finding.remedy);
}

const char* VerdictName(CheckFinding::Verdict verdict) {
  return verdict == Verdict::Ok ? "ok" : verdict == Verdict::Warning ? "warning" : "problem";
}

}  // namespace CMNC
