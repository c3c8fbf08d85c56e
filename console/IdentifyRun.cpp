#include "IdentifyRun.h"

#include <iostream>

#include "ConsoleText.h"
#include "InterruptWatch.h"
#include "JsonEvents.h"
#include "LinkKinds.h"
#include "Loader.h"
#include "PortResolution.h"
#include "PrintableText.h"
#include "WizardModel.h"

namespace {

std::string orNotAnswered(const std::string& s) { return s.empty() ? "not answered" : printable(s); }

void printFound(std::ostream& out, const std::string& port, const PortTestSetup& r, bool json) {
  if (json) {
    using jsonevents::textOrNull;
    out << jsonevents::line({{"port", port},
                             {"found", true},
                             {"model", textOrNull(r.model)},
                             {"id", textOrNull(r.identity)},
                             {"hardware", textOrNull(r.hardware)},
                             {"board", textOrNull(r.board)},
                             {"firmware", textOrNull(r.mainFirmware)},
                             {"rate", r.answeredRate > 0 ? jsonevents::Json(r.answeredRate) : jsonevents::Json(nullptr)}});
    return;
  }
  out << "Receiver on " << port << ":\n"
      << "  Model:             " << orNotAnswered(r.model) << "\n"
      << "  Identity:          " << orNotAnswered(r.identity) << "\n"
      << "  Hardware version:  " << orNotAnswered(r.hardware) << "\n"
      << "  Board:             " << orNotAnswered(r.board) << "\n"
      << "  Main firmware:     " << orNotAnswered(r.mainFirmware) << "\n";
  if (r.answeredRate > 0) out << "  Answered at:       " << r.answeredRate << " bit/s\n";
}

void printNotFound(std::ostream& out, const std::string& port, const std::string& reason, bool json) {
  std::string why = withoutCarriageReturns(reason);
  while (!why.empty() && (why.back() == '\n' || why.back() == ' ')) why.pop_back();
  if (json) {
    out << jsonevents::line({{"port", port}, {"found", false}, {"reason", why}});
    return;
  }
  out << "No receiver answered on " << port << ": " << printable(why) << "\n";
}

}  // namespace

int runIdentify(EngineSession& session, const LoadJob& job, bool json, std::ostream& out) {
  const std::string shown = CMNC::ShownPortText(job.port);
  PortEntry port;
  std::string unusable;
  if (!entryOfJob(job, port, unusable)) {
    std::cerr << "vestrel: " << unusable << "\n";
    return 2;
  }
  std::vector<SpeedEntry> speeds{{std::to_string(job.speed), static_cast<int>(job.speed)}};
  for (const SpeedEntry& e : wizard::speedsFor(port.kind))
    if (e.speed != static_cast<int>(job.speed)) speeds.push_back(e);
  RunStop stop;
  Identification found;
  {
    const InterruptWatch watch([&stop](int s) { stop.abort(s); }, [&stop](int s) { stop.abort(s); });
    found = Loader(session).identify(port, speeds, stop);
  }
  if (found.signal != 0) {
    printNotFound(out, shown, "Interrupted.", json);
    return 128 + found.signal;
  }
  if (found.answered) printFound(out, shown, found.receiver, json);
  else printNotFound(out, shown, found.reason, json);
  out << std::flush;
  return found.answered ? 0 : 1;
}
