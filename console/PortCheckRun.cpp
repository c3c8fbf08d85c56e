#include "PortCheckRun.h"

#include "JsonText.h"
#include "LinkKinds.h"
#include "PortCheck.h"

namespace {

const char kNoPort[] = "no serial or USB port found";
const char kNoPortRemedy[] = "plug the receiver in, or name its port with /port";

std::string jsonFinding(const std::string& port, const std::string& check, const char* result, const std::string& text,
                        const std::string& remedy) {
  return "{\"port\":" + json::quote(port) + ",\"check\":" + json::quote(check) + ",\"result\":" + json::quote(result) +
         ",\"text\":" + json::quote(text) + ",\"remedy\":" + json::quote(remedy) + "}";
}

}  // namespace

int runPortCheck(const std::vector<PortEntry>& ports, const CMNC::SystemProbe& probe, bool json, std::ostream& out) {
  std::vector<std::string> items;
  if (ports.empty()) {
    if (!json) out << "PROBLEM " << kNoPort << ": " << kNoPortRemedy << "\n";
    else out << "[\n " << jsonFinding("", "exists", "problem", kNoPort, kNoPortRemedy) << "\n]\n";
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
  if (json) {
    out << "[";
    for (std::size_t i = 0; i < items.size(); ++i) out << (i ? ",\n " : "\n ") << items[i];
    out << "\n]\n";
  }
  out << std::flush;
  return usable ? 0 : 1;
}
