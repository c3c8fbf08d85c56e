#include "PortCheckRun.h"

#include "PortCheck.h"
#include "PortListing.h"

int runPortCheck(const std::vector<PortEntry>& ports, const CMNC::SystemProbe& probe, std::ostream& out) {
  if (ports.empty()) {
    out << "PROBLEM no serial or USB port found: plug the receiver in, or name its port with /port\n";
    return 1;
  }
  bool usable = true;
  for (const PortEntry& port : ports) {
    const auto findings = CMNC::CheckPort(port, probe);
    for (const auto& f : findings) out << CMNC::CheckLine(portlisting::portArgument(port), f) << "\n";
    usable = usable && CMNC::PortUsable(findings);
  }
  out << std::flush;
  return usable ? 0 : 1;
}
