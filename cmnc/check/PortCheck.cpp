#include "PortCheck.h"

#include <algorithm>

#include "CheckFindings.h"

namespace CMNC {

using Verdict = CheckFinding::Verdict;

std::vector<CheckFinding> CheckPort(const PortEntry& port, const SystemProbe& probe) {
  Findings f;
  switch (port.kind) {
    case ConnectionKind::Usb: CheckUsbPort(f, port.address, probe); break;
    case ConnectionKind::Bluetooth: CheckBluetoothAdapter(f, probe); break;
    case ConnectionKind::Tcpip: f.ok("network", "a network link: nothing to check on this computer"); break;
    default: CheckSerialPort(f, port.address.empty() ? port.name : port.address, probe); break;
  }
  return f.take();
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
