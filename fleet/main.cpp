// vestrel-fleet: the same firmware into several receivers at once, one vestrel process each.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <mutex>

#include "BrokenPipe.h"
#include "ChildWait.h"
#include "FleetInventory.h"
#include "FleetOptions.h"
#include "FleetPlatform.h"
#include "FleetRun.h"
#include "InterruptWatch.h"
#include "LinkKinds.h"
#include "PortDiscovery.h"
#include "PortNames.h"
#include "ReceiverList.h"
#include "Version.h"
#include "VersionMatch.h"

namespace {

constexpr int kUsageError = 2;

// The vestrel program: --vestrel, else the one beside vestrel-fleet (installed side by side, or
// the build tree's ui/vestrel), else the one on the PATH.
std::string findVestrel(const std::string& given) {
  if (!given.empty()) return given;
  const std::string self = fleetplatform::selfFolder();
  if (!self.empty()) {
    const std::filesystem::path folder(self);
    for (const auto& candidate : {folder / fleetplatform::kVestrelName, folder.parent_path() / "ui" / fleetplatform::kVestrelName})
      if (fleetplatform::isProgram(candidate.string())) return candidate.string();
  }
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin";
  for (std::size_t from = 0; from <= dirs.size();) {
    const std::size_t to = std::min(dirs.find(fleetplatform::kPathSeparator, from), dirs.size());
    const std::filesystem::path candidate = std::filesystem::path(dirs.substr(from, to - from)) / fleetplatform::kVestrelName;
    if (fleetplatform::isProgram(candidate.string())) return candidate.string();
    from = to + 1;
  }
  return std::string("/usr/bin/") + fleetplatform::kVestrelName;
}

int usageError(const std::string& text) {
  std::cerr << "vestrel-fleet: " << text << "\n(vestrel-fleet --help shows the usage.)\n";
  return kUsageError;
}

// The "/speed" of the vestrel options, the speed an identification tries first.
std::vector<std::string> speedOptions(const std::vector<std::string>& vestrelArgs) {
  for (std::size_t i = 0; i + 1 < vestrelArgs.size(); ++i)
    if (vestrelArgs[i] == "/speed" || vestrelArgs[i] == "--speed") return {"/speed", vestrelArgs[i + 1]};
  return {};
}

// Who answers on each port, each asked by a "vestrel --identify" of its own; a stop signal ends it
// (stopSignal set).
std::vector<InventoryEntry> askEveryPort(const std::string& vestrel, const FleetOptions& options,
                                         const std::vector<std::string>& ports, int& stopSignal) {
  ChildWait wait;
  const InterruptWatch watch([&wait](int signal) { wait.post(signal); }, [&wait](int signal) { wait.post(signal); });
  return FleetInventory(vestrel, speedOptions(options.vestrelArgs), options.jobs, options.passwords)
      .run(ports, wait, stopSignal);
}

// "--identify": the inventory of the ports, as a table or JSON; 0 when every port answered.
int inventory(const std::string& vestrel, const FleetOptions& options, const std::vector<std::string>& ports) {
  int stopSignal = 0;
  const std::vector<InventoryEntry> entries = askEveryPort(vestrel, options, ports, stopSignal);
  std::cout << (options.json ? FleetInventory::asJson(entries) : FleetInventory::asText(entries)) << std::flush;
  if (stopSignal) return 128 + stopSignal;
  return std::all_of(entries.begin(), entries.end(), [](const InventoryEntry& e) { return e.found; }) ? 0 : 1;
}

// The listed receivers' ports, in their canonical texts; "" or what is wrong (a password in the
// list, a port that is no port, two that are the same receiver).
std::string listedPorts(std::vector<ListedReceiver>& listed, std::vector<std::string>& ports) {
  for (ListedReceiver& r : listed) {
    CMNC::PortText port;
    std::string error;
    if (!CMNC::ParsePortText(r.port, port, error)) return "--receivers, line " + std::to_string(r.line) + ": " + error;
    if (!port.password.empty())
      return "--receivers, line " + std::to_string(r.line) +
             ": a password has no place in the list: give it with VESTREL_TCP_PASSWORD or a stored host.";
    r.port = port.text;
    ports.push_back(port.text);
  }
  return portnames::checkDistinct(ports);
}

constexpr char kNotFound[] = "(not found)";

// With --all: every port is asked who answers, and the list's receivers are placed where they
// answered. The ports to load come first, then those refused; refusals are given back by index.
struct Placed {
  std::vector<std::string> ports;
  std::vector<ListedReceiver> listed;  // the port's listed receiver (an empty id: none)
  std::vector<std::string> refusals;   // "" for a port to load
  std::vector<InventoryEntry> found;   // what answered there
};

bool placeListed(const std::string& vestrel, const FleetOptions& options, const std::vector<ListedReceiver>& listed,
                 const std::vector<std::string>& discovered, std::ostream& progress, Placed& placed, int& stopSignal) {
  progress << "Asking each port which receiver answers...\n" << std::flush;
  const std::vector<InventoryEntry> found = askEveryPort(vestrel, options, discovered, stopSignal);
  if (stopSignal) return false;
  const receiverlist::Assignment assignment = receiverlist::assign(listed, found);
  const auto add = [&placed](const std::string& port, const ListedReceiver& r, const std::string& refusal,
                             const InventoryEntry& entry) {
    placed.ports.push_back(port);
    placed.listed.push_back(r);
    placed.refusals.push_back(refusal);
    placed.found.push_back(entry);
  };
  for (const auto& load : assignment.loads) {
    if (!load.listed.port.empty() && !portnames::samePort(load.listed.port, load.port))
      progress << "The receiver " << load.listed.order.receiverId << " listed at " << portnames::shownName(load.listed.port)
               << " answers at " << portnames::shownName(load.port) << ": it is loaded there.\n";
    add(load.port, load.listed, "", {});
  }
  for (const InventoryEntry& entry : assignment.unlisted)
    add(entry.port, {}, "the receiver " + entry.id + " is not in the list " + options.receiversFile + ": not loaded",
        entry);
  for (const ListedReceiver& r : assignment.notFound)
    add(kNotFound, r, "the listed receiver " + r.order.receiverId + " answered on no port" +
                          (r.port.empty() ? "" : " (it was listed at " + portnames::shownName(r.port) + ")"),
        {});
  for (const InventoryEntry& entry : assignment.silent)
    progress << "No receiver answered on " << portnames::shownName(entry.port) << ": it is left alone.\n";
  progress << std::flush;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  fleetplatform::restrictLibrarySearch();
  ignoreBrokenPipes();
  FleetOptions options;
  const std::string error = parseFleetOptions(fleetplatform::arguments(argc, argv), options);
  CMNC::HidePortPasswords(argc, argv);  // copied: gone from what other users can read
  if (!error.empty()) return usageError(error);
  if (options.passwordInArguments)
    std::cerr << "vestrel-fleet: warning: a password in --port tcp:HOST:PORT:PASSWORD can be read by every user of this "
                 "computer (ps, /proc): give it with VESTREL_TCP_PASSWORD, a stored host or \"-- --password-file FILE\" "
                 "instead; each receiver's vestrel gets it through its environment.\n";
  if (options.help) return std::cout << fleetUsage(), 0;
  if (options.version) return std::cout << "vestrel-fleet " << VESTREL_VERSION << "\n", 0;
  const std::string vestrel = findVestrel(options.vestrel);

  std::vector<std::string> ports = options.ports;
  std::vector<ListedReceiver> listed;
  if (!options.receiversFile.empty()) {
    std::string problem;
    if (!receiverlist::read(options.receiversFile, !options.all, listed, problem)) return usageError(problem);
    if (!options.all)
      if (const std::string bad = listedPorts(listed, ports); !bad.empty()) return usageError(bad);
  }
  if (options.all) {
    std::string reason;
    if (!discoverPorts(vestrel, options.match, ports, reason)) return std::cerr << "vestrel-fleet: " << reason << "\n", 1;
    if (ports.empty()) return std::cerr << "vestrel-fleet: no port matches.\n", 1;
    if (const std::string twice = portnames::checkDistinct(ports); !twice.empty()) return usageError(twice);
  }
  if (options.identify) return inventory(vestrel, options, ports);
  std::ostream& progress = options.json ? std::cerr : std::cout;
  Placed placed;
  if (!listed.empty() && options.all) {
    int stopSignal = 0;
    if (!placeListed(vestrel, options, listed, ports, progress, placed, stopSignal)) return 128 + stopSignal;
    ports = placed.ports;
  } else if (!listed.empty()) {
    placed.listed = listed;
  }
  std::error_code dirError;
  std::filesystem::create_directories(options.logDir, dirError);
  if (dirError) {
    std::cerr << "vestrel-fleet: cannot make the log folder " << options.logDir << ": " << dirError.message() << "\n";
    return 1;
  }
  FleetRun::Settings settings{vestrel,        options.vestrelArgs,           ports,
                              {},             options.jobs,                  options.allowUnconfirmed,
                              options.expectVersion, options.retries,        options.bootLoaderCapture(),
                              options.passwords,     {},                            {}};
  for (const std::string& name : portnames::logFileNames(ports))
    settings.logPaths.push_back((std::filesystem::path(options.logDir) / name).string());
  if (!options.recordDir.empty()) {
    std::filesystem::create_directories(options.recordDir, dirError);
    if (dirError) {
      std::cerr << "vestrel-fleet: cannot make the recording folder " << options.recordDir << ": " << dirError.message() << "\n";
      return 1;
    }
    for (const std::string& name : portnames::logFileNames(ports))
      settings.recordPaths.push_back((std::filesystem::path(options.recordDir) / std::filesystem::path(name).replace_extension(".rec")).string());
  }

  for (const ListedReceiver& r : placed.listed) settings.portArgs.push_back(receiverlist::orderOptions(r.order));
  if (options.powerOnCapture())
    progress << "Power On Capture: switch on the " << (ports.size() == 1 ? "receiver" : std::to_string(ports.size()) + " receivers")
             << " now; each load waits for its receiver's boot loader after power-on.\n" << std::flush;
  const bool terminal = fleetplatform::isTerminal(options.json);
  FleetDisplay display(progress, terminal);
  ChildWait wait;
  FleetRun run(std::move(settings), display, wait);
  for (std::size_t i = 0; i < placed.listed.size(); ++i) {
    run.markListed(i, placed.listed[i].order.receiverId, placed.listed[i].order.workOrder);
    if (i < placed.refusals.size() && !placed.refusals[i].empty())
      run.markRefused(i, placed.found[i].model, placed.found[i].id, placed.refusals[i]);
  }
  const int status = [&] {
    InterruptWatch watch([&wait](int signal) { wait.post(signal); }, [&wait](int signal) { wait.post(signal); });
    if (options.skipCurrent) {
      // Each receiver is asked first; one that already runs the expected version is left alone.
      progress << "Asking each receiver which firmware it runs...\n" << std::flush;
      int stopSignal = 0;
      const std::vector<InventoryEntry> found =
          FleetInventory(vestrel, speedOptions(options.vestrelArgs), options.jobs, options.passwords)
              .run(ports, wait, stopSignal);
      if (stopSignal) return 128 + stopSignal;
      for (std::size_t i = 0; i < found.size(); ++i)
        if (found[i].found && versionMatches(found[i].firmware, options.expectVersion))
          run.markCurrent(i, found[i].model, found[i].id, found[i].firmware);
    }
    return run.run();
  }();
  if (options.json)
    std::cout << FleetDisplay::summaryJson(run.receivers(), status, run.startTime(), options.allowUnconfirmed);
  else
    std::cout << "\n" << FleetDisplay::summaryText(run.receivers(), options.allowUnconfirmed);
  std::cout << std::flush;
  return status;
}
