#include "FleetInventory.h"

#include <algorithm>
#include <memory>

#include "ChildProcess.h"
#include "JsonEvents.h"
#include "PortNames.h"
#include "TextTable.h"

namespace {

constexpr std::size_t kMaxOutputBytes = 64 * 1024;  // one JSON object; anything longer is no answer
constexpr int kPollMs = 250;

struct Asking {
  explicit Asking(ChildWait& wait) : child(wait) {}
  ChildProcess child;
  std::string out, err;
};

// Reads the child's stream, kept up to the cap: once while it runs, to its end (bounded) once it
// has ended.
void readPipe(ChildProcess& child, ChildProcess::Stream stream, std::string& into, bool toTheEnd) {
  char buffer[4096];
  for (int reads = 0; reads < (toTheEnd ? 64 : 1) && child.isOpen(stream); ++reads) {
    std::size_t n = 0;
    if (child.read(stream, buffer, sizeof buffer, n) != ChildProcess::Read::Data) return;
    const std::size_t room = kMaxOutputBytes - std::min(into.size(), kMaxOutputBytes);
    into.append(buffer, std::min(n, room));
  }
}

std::string lastLine(const std::string& text) {
  std::string t = text;
  while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
  return t.substr(t.find_last_of('\n') == std::string::npos ? 0 : t.find_last_of('\n') + 1);
}

}  // namespace

InventoryEntry FleetInventory::fromChild(const std::string& port, const std::string& output, int exitStatus,
                                         const std::string& lastErrorLine) {
  InventoryEntry e;
  e.port = port;
  jsonevents::Json answer = jsonevents::Json::parse(lastLine(output), nullptr, false);
  if (!answer.is_object()) answer = jsonevents::Json::object();
  const auto found = answer.find("found");
  if (found != answer.end() && found->is_boolean() && found->get<bool>() && exitStatus == 0) {
    e.found = true;
    e.model = jsonevents::text(answer, "model");
    e.id = jsonevents::text(answer, "id");
    e.hardware = jsonevents::text(answer, "hardware");
    e.board = jsonevents::text(answer, "board");
    e.firmware = jsonevents::text(answer, "firmware");
    const long long rate = jsonevents::number(answer, "rate", 0);
    e.rate = rate > 0 && rate < 1000000000 ? static_cast<int>(rate) : 0;
    return e;
  }
  e.reason = jsonevents::text(answer, "reason");
  if (e.reason.empty()) e.reason = !lastErrorLine.empty() ? lastErrorLine : "vestrel exited with status " + std::to_string(exitStatus);
  return e;
}

std::vector<InventoryEntry> FleetInventory::run(const std::vector<std::string>& ports, ChildWait& wait, int& stopSignal) {
  std::vector<InventoryEntry> entries(ports.size());
  std::vector<std::unique_ptr<Asking>> asking(ports.size());
  std::size_t next = 0, running = 0, done = 0;
  const std::size_t limit = jobs_ > 0 ? static_cast<std::size_t>(jobs_) : ports.size();
  while (done < ports.size()) {
    while (!stopSignal && next < ports.size() && running < limit) {
      const std::size_t i = next++;
      std::vector<std::string> args{"--identify", "--json", "/port", ports[i]};
      args.insert(args.end(), vestrelArgs_.begin(), vestrelArgs_.end());
      asking[i] = std::make_unique<Asking>(wait);
      std::string error;
      if (asking[i]->child.start(vestrel_, args, portnames::childEnvironment(passwords_, ports[i]), error)) {
        ++running;
        continue;
      }
      entries[i] = {ports[i], false, "", "", "", "", "", 0, error};
      asking[i].reset();
      ++done;
    }
    if (stopSignal)
      for (std::size_t i = next; i < ports.size(); ++i, ++done) entries[i] = {ports[i], false, "", "", "", "", "", 0, "not asked: the fleet was stopped"};
    if (stopSignal) next = ports.size();
    std::vector<const ChildProcess*> children;
    for (const auto& a : asking)
      if (a) children.push_back(&a->child);
    if (!children.empty()) wait.wait(children, kPollMs);
    if (const int signal = wait.takeSignal(); signal && !stopSignal) {
      stopSignal = signal;
      for (const auto& a : asking)
        if (a) a->child.stop(signal);
    }
    for (std::size_t i = 0; i < asking.size(); ++i) {
      Asking* a = asking[i].get();
      if (!a) continue;
      readPipe(a->child, ChildProcess::Stream::Out, a->out, false);
      readPipe(a->child, ChildProcess::Stream::Err, a->err, false);
      ChildExit exit;
      if (!a->child.reap(exit)) continue;
      readPipe(a->child, ChildProcess::Stream::Out, a->out, true);
      readPipe(a->child, ChildProcess::Stream::Err, a->err, true);
      entries[i] = fromChild(ports[i], a->out, exit.status, lastLine(a->err));
      asking[i].reset();
      --running;
      ++done;
    }
  }
  return entries;
}

std::string FleetInventory::asText(const std::vector<InventoryEntry>& entries) {
  std::vector<std::vector<std::string>> rows{{"PORT", "MODEL", "IDENTITY", "HARDWARE", "BOARD", "FIRMWARE", "SPEED"}};
  std::string missing;
  int found = 0;
  for (const InventoryEntry& e : entries) {
    const std::string port = texttable::cell(portnames::shownName(e.port));
    if (!e.found) {
      missing += port + ": nothing answered: " + texttable::cell(e.reason) + "\n";
      continue;
    }
    ++found;
    rows.push_back({port, texttable::cellOrDash(e.model), texttable::cellOrDash(e.id), texttable::cellOrDash(e.hardware), texttable::cellOrDash(e.board), texttable::cellOrDash(e.firmware),
                    e.rate > 0 ? std::to_string(e.rate) : "-"});
  }
  return texttable::columns(rows) + missing + std::to_string(found) + " of " + std::to_string(entries.size()) +
         " ports answered.\n";
}

std::string FleetInventory::asJson(const std::vector<InventoryEntry>& entries) {
  using jsonevents::textOrNull;
  jsonevents::Json list = jsonevents::Json::array();
  for (const InventoryEntry& e : entries) {
    const std::string port = portnames::shownName(e.port);
    if (!e.found) {
      list.push_back({{"port", port}, {"found", false}, {"reason", e.reason}});
      continue;
    }
    list.push_back({{"port", port}, {"found", true}, {"model", textOrNull(e.model)}, {"id", textOrNull(e.id)},
                    {"hardware", textOrNull(e.hardware)}, {"board", textOrNull(e.board)},
                    {"firmware", textOrNull(e.firmware)},
                    {"rate", e.rate > 0 ? jsonevents::Json(e.rate) : jsonevents::Json(nullptr)}});
  }
  return jsonevents::line(list);
}
