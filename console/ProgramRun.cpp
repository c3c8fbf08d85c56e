#include "ProgramRun.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>

#include "ActivityLog.h"
#include "ActivityLogSink.h"
#include "BluetoothAvailability.h"
#include "CommandLine.h"
#include "ConsoleText.h"
#include "DeviceStore.h"
#include "HeadlessConsole.h"
#include "HistoryListing.h"
#include "HistoryServer.h"
#include "HistorySyncRun.h"
#include "HistoryUrl.h"
#include "ServiceToken.h"
#include "IdentifyRun.h"
#include "InterruptWatch.h"
#include "LoadPlan.h"
#include "Loader.h"
#include "JsonConsole.h"
#include "LoadSession.h"
#include "OrderFields.h"
#include "SourceSignature.h"
#include "PortEnumeration.h"
#include "LinkKinds.h"
#include "PasswordInput.h"
#include "PathText.h"
#include "PortListing.h"
#include "PortResolution.h"
#include "RecordingPort.h"
#include "RunOutcome.h"
#include "Station.h"
#include "Version.h"
#include "WizardModel.h"

namespace {

int listPorts(bool json) {
  const bool bluetooth = CMNC::BluetoothAvailable();
  const auto ports = portlisting::listPorts(storedOrEnumeratedPorts(bluetooth), bluetooth);
  std::cout << (json ? portlisting::asJson(ports) : portlisting::asText(ports)) << std::flush;
  return 0;
}

// The port named with /port, or every enumerated serial and USB port.
int checkPorts(const ProgramHooks& hooks, const LoadJob& job, bool json) {
  if (!hooks.checkPorts) {
    std::cerr << "vestrel: --check is not available on this system; try the port with a test run instead.\n";
    return 2;
  }
  std::vector<PortEntry> ports;
  if (!job.port.empty()) {
    ports.push_back(job.portEntry);
  } else {
    for (const CMNC::LinkKind& kind : CMNC::LinkKinds())
      if (kind.enumerate) {
        const auto listed = kind.enumerate();
        ports.insert(ports.end(), listed.begin(), listed.end());
      }
  }
  return hooks.checkPorts(ports, json);
}

// What /port named, with its password found; false (bad usage) when it cannot be used.
bool resolvePort(LoadJob& job, bool reachesReceiver) {
  PasswordSources sources;
  sources.file = job.passwordFile;
  sources.environment = std::getenv("VESTREL_TCP_PASSWORD");
  sources.mayPrompt = reachesReceiver && passwordinput::inputIsTerminal();
  std::string error;
  std::vector<std::string> warnings;
  const bool resolved = resolveJobPort(job, storedOrEnumeratedPorts(CMNC::BluetoothAvailable()), sources, error, warnings);
  for (const std::string& w : warnings) std::cerr << "vestrel: warning: " << w << "\n";
  if (!resolved) std::cerr << "vestrel: " << error << "\n";
  return resolved;
}

// The recording's header: the program, the link and the settings that shape the exchange.
void writeRecordingHeader(CMNC::ExchangeRecorder& recorder, const LoadJob& job, SourceKind kind) {
  recorder.header("vestrel " VESTREL_VERSION, CMNC::LinkKindOf(job.portEntry.kind).name, CMNC::PortTextOf(job.portEntry),
                  {{"method", methodWord(job.method, job.plainDataFile ? SourceKind::DataFile : kind)},
                   {"speed", std::to_string(job.speed)},
                   {"block-size", std::to_string(LoadRequest::kDefaultBlockSizeChoice)},
                   {"mtu", std::to_string(job.mtu)},
                   {"reply-gap", std::to_string(job.replyGapMs)}});
}

// An unattended run: the plan made, then run by the Loader, its events in the activity log and
// on standard output (as text or JSON lines). A stop signal aborts it; a second one ends the
// program at once unless the run's final row is being written; SIGUSR1 ends it after the image
// being written.
int runUnattended(const LoadJob& job, SourceKind kind, bool json, int verbosity) {
  std::shared_ptr<CMNC::ExchangeRecorder> recorder;
  if (!job.recordFile.empty()) {
    std::string error;
    recorder = CMNC::ExchangeRecorder::create(job.recordFile, error);
    if (!recorder) {
      std::cerr << "vestrel: " << error << "\n";
      return 1;
    }
    writeRecordingHeader(*recorder, job, kind);
  }
  LoadSession session(recorder ? CMNC::RecordingPorts(recorder) : CommandChannel::PortFactory{});
  std::unique_ptr<ConsoleEcho> echo;
  if (json) echo = std::make_unique<JsonConsole>(std::cout);
  else echo = std::make_unique<HeadlessConsole>();
  echo->setLevel(verbosity < 0 ? ConsoleEcho::Level::Quiet
                               : verbosity > 0 ? ConsoleEcho::Level::Verbose : ConsoleEcho::Level::Normal);
  ActivityLogSink log;
  RunSinks sinks({&log, echo.get()});
  RunStop stop;
  const InterruptWatch watch([&stop](int signal) { stop.abort(signal); },
                             [&stop](int signal) {
                               if (stop.again()) exitOnSecondInterrupt(signal);
                             },
                             [&stop](int signal) { stop.finishImage(signal); });
  Loader loader(session);
  const PlanResult planned = makeLoadPlan(job, kind, &stop.latch());
  const RunOutcome outcome = planned.plan ? loader.run(*planned.plan, sinks, stop)
                                          : loader.refuse(runRequestOf(job), planned.refusal, sinks, stop);
  return outcome.exitStatus;
}

// The history's place: --history-db, else VESTREL_HISTORY_DB for every run of a line (and the line
// service's token file and certificate, VESTREL_HISTORY_TOKEN_FILE and VESTREL_HISTORY_CA). A
// server's URL is checked here, and the service's token read; what is wrong is bad usage.
std::string historyPlaceProblem(LoadJob& probe, bool savingToken) {
  std::string named = "--history-db";
  HistorySettings& history = probe.history;
  if (const char* line = std::getenv("VESTREL_HISTORY_DB"); history.path.empty() && line && *line) {
    history.path = line;
    named = "VESTREL_HISTORY_DB";
  }
  if (const char* file = std::getenv("VESTREL_HISTORY_TOKEN_FILE"); history.tokenFile.empty() && file && *file)
    history.tokenFile = file;
  if (const char* ca = std::getenv("VESTREL_HISTORY_CA"); history.service.caFile.empty() && ca && *ca)
    history.service.caFile = ca;
  if (!historyurl::isServerUrl(history.path)) return "";
  if (historyurl::isDatabaseUrl(history.path) && !historyserver::supported())
    return named + ": this build cannot reach a PostgreSQL server (postgresql://...); a line's stations on this system "
                   "write through the line service: --history-db https://HOST[:PORT]/.";
  if (const std::string problem = historyurl::problem(history.path); !problem.empty()) return named + ": " + problem;
  std::string error;
  if (historyurl::isServiceUrl(history.path) && !savingToken && !servicetoken::resolve(history, error)) return error;
  return "";
}

// What is wrong with the history's options together; "" when nothing.
std::string historyUsage(const CommandLineResult& check, const LoadJob& probe) {
  if (check.noHistory && probe.history.required) return "--no-history and --history-required contradict each other.";
  if (check.syncHistory && !historyurl::isServerUrl(probe.history.path))
    return "--sync-history sends rows to the line's history server: name it with --history-db postgresql://USER@HOST/DB "
           "(or the line service's https://HOST[:PORT]/) or VESTREL_HISTORY_DB.";
  if (check.saveHistoryToken && !historyurl::isServiceUrl(probe.history.path))
    return "--save-history-token keeps the line service's token: name the service with --history-db https://HOST[:PORT]/.";
  const HistoryFilter& filter = check.history.filter;
  if (!check.history.wanted() && (!filter.receiverId.empty() || !filter.since.empty() || !filter.until.empty() ||
                                  !filter.station.empty() || filter.limit > 0))
    return "--receiver, --since, --until, --station and --limit go with --list-history or --export-history.";
  return "";
}

// "--list-history", "--export-history": "--port" filters by the canonical text.
int listHistory(HistoryQuery query, const LoadJob& job, bool json) {
  if (!job.port.empty()) {
    CMNC::PortText parsed;
    std::string error;
    query.filter.port = CMNC::ParsePortText(job.port, parsed, error) ? parsed.text : job.port;
  }
  return historylisting::run(query, job.history.path, json, std::cout, std::cerr);
}

// What is wrong with the digest options for this source; "" when nothing.
std::string digestUsage(const LoadJob& job, SourceKind kind) {
  if (!job.digest.sha256.empty() && !job.digest.listFile.empty())
    return "--sha256 and --sha256-file both name the digest: give one of them.";
  if (!job.digest.sha256.empty() && kind == SourceKind::Folder)
    return "--sha256 names one file's digest, but the source is a folder: list its images' digests with --sha256-file FILE.";
  return "";
}

// Unattended, a source that is not there is bad usage before any port opens; "" when it is there.
std::string sourceUsage(const LoadJob& job) {
  if (!job.run || job.source.empty()) return "";
  std::error_code error;
  if (!std::filesystem::exists(pathtext::fromUtf8(job.source), error))
    return "/source " + job.source + ": no such file or folder.";
  return "";
}

// The activity log's first lines of a run, after its start line: the program, the station and the
// command line with its passwords masked.
void writeLogHeading(const HistorySettings& settings) {
  ActivityLog& log = ActivityLog::Instance();
  log.Write("Program: vestrel " + settings.toolVersion + "\r\n");
  log.Write("Station: " + station::name() + "\r\n");
  log.Write("Command line: " + settings.commandLine + "\r\n");
  log.Write(orderfields::logLines(settings.order));
}

// What is wrong with the order's options; "" when nothing.
std::string orderUsage(const LoadJob& job, bool identify) {
  if (job.history.order.receiverId.empty() || identify) return "";
  if (job.method == LoadMethod::PowerOnCapture)
    return "--receiver-id is checked by the port test, which Power On Capture does not make: load by Soft Break "
           "Capture or by file upload, or leave --receiver-id out.";
  return "";
}

// The station's policy (its trusted keys, a signature it requires) under the command line's.
void applyStationPolicy(SignatureTrust& trust) {
  const SignatureTrust station = sourcesignature::stationPolicy();
  trust.keyFolder = station.keyFolder;
  if (station.required && !trust.required) {
    trust.required = true;
    trust.requiredBy = station.requiredBy;
  }
}


}  // namespace

void exitOnSecondInterrupt(int signal) {
  ActivityLog::Instance().Close();
  std::_Exit(128 + signal);
}

StoredPorts storedOrEnumeratedPorts(bool bluetoothAvailable) {
  return [bluetoothAvailable](ConnectionKind kind) -> std::vector<PortEntry> {
    if (CMNC::LinkKindOf(kind).stored) return devicestore::loadStored(kind, bluetoothAvailable);
    CMNC::EnumeratePorts(kind);
    return CMNC::PortList();
  };
}

int runProgram(const std::vector<std::string>& args, const ProgramHooks& hooks) {
  LoadJob probe;
  SourceKind probeKind = SourceKind::ZipArchive;
  const CommandLineResult check = parseCommandLine(args, probe, probeKind);
  if (check.showHelp) {
    std::cout << withoutCarriageReturns(usageText() + "\r\n" + platformUsageNotes());
    return 0;
  }
  if (!check.badOption.empty()) {
    std::cerr << "vestrel: unknown option " << check.badOption << "\n\n" << withoutCarriageReturns(usageText());
    return 2;
  }
  if (!check.badValue.empty()) {
    std::cerr << "vestrel: " << check.badValue << "\n";
    return 2;
  }
  if (!probe.expectVersion.empty() && probe.plainDataFile) {
    std::cerr << "vestrel: --expect-version asks for a firmware's version; a plain data file (/capture data) has none.\n";
    return 2;
  }
  for (const std::string& word : check.ignoredWords)
    std::cerr << "vestrel: ignored " << word << ": it is no option (see --help)\n";
  if (check.showVersion) {
    std::cout << "vestrel " << VESTREL_VERSION << "\n";
    return 0;
  }
  if (check.listPorts) return listPorts(check.json);
  for (const std::string& refusal : {historyPlaceProblem(probe, check.saveHistoryToken), historyUsage(check, probe)}) {
    if (refusal.empty()) continue;
    std::cerr << "vestrel: " << refusal << "\n";
    return 2;
  }
  if (check.saveHistoryToken) return runSaveHistoryToken(probe.history.path, std::cerr);
  if (check.syncHistory) return runHistorySync(probe.history, std::cout, std::cerr);
  if (check.history.wanted()) return listHistory(check.history, probe, check.json);
  if (const std::string refusal = orderUsage(probe, check.identify); !refusal.empty()) {
    std::cerr << "vestrel: " << refusal << "\n";
    return 2;
  }
  if (const std::string refusal = digestUsage(probe, probeKind); !refusal.empty()) {
    std::cerr << "vestrel: " << refusal << "\n";
    return 2;
  }
  if (const std::string refusal = sourceUsage(probe); !refusal.empty() && !check.identify) {
    std::cerr << "vestrel: " << refusal << "\n";
    return 2;
  }
  if (!resolvePort(probe, probe.run || check.identify)) return 2;
  if (check.check) return checkPorts(hooks, probe, check.json);
  if (check.identify) {
    if (probe.port.empty()) {
      std::cerr << "vestrel: --identify needs the receiver's port: --identify /port PORT.\n";
      return 2;
    }
    LoadSession session;
    return runIdentify(session, probe, check.json, std::cout);
  }
  if (!probe.recordFile.empty() && !probe.run) {
    std::cerr << "vestrel: --record goes with /run: it records an unattended run's exchange.\n";
    return 2;
  }
  if (check.json && !probe.run) {
    std::cerr << "vestrel: --json goes with /run, --list-ports, --check, --identify or --list-history (see --help).\n";
    return 2;
  }
  const bool onConsole = probe.run && hooks.startedFromConsole && !check.window;
  // A script asking for JSON wants no window.
  const bool headless = !hooks.displayAvailable || !hooks.runWindow || check.json || onConsole;
  if (headless && !probe.run) {
    std::cerr << hooks.noWindowText << "\n";
    return 2;
  }
  LoadJob job;
  SourceKind sourceKind = SourceKind::ZipArchive;
  FirmwareImageSet images;
  if (!args.empty()) {
    const CommandLineResult result = parseCommandLine(args, job, sourceKind);
    // Unattended runs' logs carry each line's time unless told not to.
    ActivityLog::Instance().SetLineTimes(result.logTimes.value_or(job.run));
    for (const std::string& path : result.logFiles) ActivityLog::Instance().Open(path);
    if (!result.logFiles.empty() && ActivityLog::Instance().IsOpen())
      job.history.logPath = absolutePath(result.logFiles.back());
    job.port = probe.port;  // resolved once: a password is asked for once
    job.portEntry = probe.portEntry;
    job.connection = probe.connection;
  }
  // Every run writes its row of the load history, also the window's without a command line.
  job.history.enabled = !check.noHistory;
  job.history.required = probe.history.required;
  job.history.path = probe.history.path;
  job.history.service = probe.history.service;  // the token read once
  job.history.commandLine = maskedCommandLine("vestrel", args);
  job.history.toolVersion = VESTREL_VERSION;
  applyStationPolicy(job.trust);  // also the window's without a command line
  writeLogHeading(job.history);
  const bool bluetoothAvailable = CMNC::BluetoothAvailable();
  const int status = headless ? runUnattended(job, sourceKind, check.json, check.verbosity)
                              : hooks.runWindow(job, sourceKind, images, bluetoothAvailable);
  ActivityLog::Instance().Close();
  return status;
}
