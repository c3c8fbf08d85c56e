#include "PortCheckRun.h"

#include "JsonEvents.h"
#include "LinkKinds.h"
#include "PortCheck.h"

namespace {

const char kNoPort[] = "no serial or USB port found";
const char kNoPortRemedy[] = "plug the receiver in, or name its port with /port";

jsonevents::Json jsonFinding(const std::string& port, const std::string& check, const char* result,
                             const std::string& text, const std::string& remedy) {
  return {{"port", port}, {"check", check}, {"result", result}, {"text", text}, {"remedy", remedy}};
}

}  // namespace

int runPortCheck(const std::vector<PortEntry>& ports, const CMNC::SystemProbe& probe, bool json, std::ostream& out) {
  jsonevents::Json items = jsonevents::Json::array();
  if (ports.empty()) {
    if (!json) out << "PROBLEM " << kNoPort << ": " << kNoPortRemedy << "\n";
    else out << jsonevents::line(jsonevents::Json::array({jsonFinding("", "exists", "problem", kNoPort, kNoPortRemedy)}));
    return 1;
  }
  bool usable = true;
  for (const PortEntry& port : ports) {
    const std::string shown = CMNC::PortTextOf(port);
    const auto findings = CMNC::CheckPort(port, probe);
    for (const auto& f : findings) {
      if (json) items.push_back(jsonFinding(shown, f.check, CMNC::VerdictName(f.verdict), f.text, f.remedy));
      else out << CMNC::CheckLine(shown, f) << "\n";
    }
    usable = usable && CMNC::PortUsable(findings);
  }
  if (json) out << jsonevents::line(items);
  out << std::flush;
  return usable ? 0 : 1;
}
