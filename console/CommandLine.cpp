#include "CommandLine.h"

#include "HistoryClock.h"
#include "LinkKinds.h"
#include "OrderFields.h"
#include "PathText.h"
#include "Sha256.h"
#include "WizardModel.h"

#include <algorithm>
#include <chrono>
#include <cctype>
#include <climits>
#include <filesystem>
#include <system_error>

namespace {

constexpr long long kMaxSourceMib = 65536;  // 64 GiB: beyond any distribution


constexpr uint32_t kMinSpeed = 4800;
constexpr long long kMinMtu = 32;
constexpr long long kMaxMtu = 32768;
constexpr int kMaxReplyGapMs = 1000;

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// "/name", "--name" and "-name" all name an option; "/MTU" keeps its capitals.
bool isOption(const std::string& arg, const char* slashForm, const char* gnuForm) {
  return arg == slashForm || arg == std::string("--") + gnuForm;
}


void classifySource(LoadJob& job, SourceKind& kind) {
  if (job.directUpload && job.plainDataFile) {
    kind = SourceKind::DataFile;
  } else if ((job.run || !job.source.empty()) && !job.plainDataFile) {
    if (job.source.empty()) job.source = "./";
    if (job.source.size() >= 4 && (endsWith(job.source, ".ldp") || endsWith(job.source, ".ldr"))) {
      kind = SourceKind::ImageFile;
    } else if (endsWith(job.source, ".zip")) {
      kind = SourceKind::ZipArchive;
    } else {
      kind = SourceKind::Folder;
      if (!endsWith(job.source, "/")) job.source += "/";
    }
  }
  if (!job.source.empty()) job.source = absolutePath(job.source);
}

// "--reply-gap": a whole number of milliseconds, 0 to 1000.
bool readReplyGap(const std::string& value, int& gapMs) {
  if (value.empty() || value.size() > 4 ||
      !std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isdigit(c); }))
    return false;
  const int ms = std::stoi(value);
  if (ms > kMaxReplyGapMs) return false;
  gapMs = ms;
  return true;
}

// Every spelling of an option the parser knows: with "/run", an option's value may not be one.
bool isOptionSpelling(const std::string& word) {
  static const char* const kNames[] = {"port", "speed", "capture", "source", "log", "MTU", "exit", "run"};
  for (const char* name : kNames)
    if (word == std::string("/") + name || word == std::string("--") + name) return true;
  for (const char* gnu : {"--mtu", "--reply-gap", "--json", "--expect-version", "--password-file", "--max-source-mib", "--help", "--version", "--list-ports",
                          "--check", "--identify", "--window", "--history-db", "--no-history", "--list-history",
                          "--export-history", "--receiver", "--since", "--limit", "--sha256", "--sha256-file",
                          "--history-required", "--sync-history", "--station", "--history-token-file", "--history-ca",
                          "--save-history-token", "--record", "--quiet", "-q",
                          "--verbose", "-v", "--receiver-id", "--work-order", "--operator", "--lot", "--trusted-key",
                          "--require-signature", "--until", "--log-times", "--no-log-times"})
    if (word == gnu) return true;
  return false;
}

bool hasRunOption(const std::vector<std::string>& args) {
  return std::any_of(args.begin(), args.end(), [](const std::string& a) { return isOption(a, "/run", "run"); });
}

// Unattended, a value-taking option without its value is refused: taking the next option as the
// value has loaded another receiver than the one named ("/speed /port ttyUSB1 ... /run" falls
// back to COM1). Values that merely begin with "/" are values.
std::string missingValue(const std::vector<std::string>& args, std::size_t i) {
  if (i + 1 >= args.size()) return args[i] + " needs a value, but it stands last.";
  if (isOptionSpelling(args[i + 1]))
    return args[i] + " needs a value, but the option " + args[i + 1] + " follows it.";
  return "";
}

// Unattended, an empty value is refused too: "/port $PORT" with an empty variable has loaded the
// first port there is.
std::string emptyValue(const std::vector<std::string>& args, std::size_t i) {
  return args[i + 1].empty() ? args[i] + " needs a value, but it is empty." : "";
}

// Unattended, "/speed" must be a speed the wizard offers for the link, which the port test and the
// load then both use: another rate has left the receiver at the list's rate and the load refused.
std::string unofferedSpeed(long long speed, ConnectionKind kind) {
  const auto speeds = wizard::speedsFor(kind);
  if (!CMNC::LinkKindOf(kind).policy.lineSpeeds) return "";
  std::string offered;
  for (const SpeedEntry& e : speeds) {
    if (e.speed == speed) return "";
    offered += (offered.empty() ? "" : ", ") + std::to_string(e.speed);
  }
  return "/speed " + std::to_string(speed) + " is not one of the speeds the wizard offers: " + offered + ".";
}

// An option whose value is a text that may not be empty nor an option: true with the value taken.
bool takeText(const std::vector<std::string>& args, std::size_t& i, std::string& value) {
  if (i + 1 >= args.size() || isOptionSpelling(args[i + 1]) || args[i + 1].empty()) return false;
  value = args[++i];
  return true;
}

// The order's fields and the signature's options; false when arg is none of them.
bool readOrderOption(const std::vector<std::string>& args, std::size_t& i, LoadJob& job, CommandLineResult& result) {
  const std::string& arg = args[i];
  OrderFields& order = job.history.order;
  const std::pair<const char*, std::string*> fields[] = {{"--receiver-id", &order.receiverId},
                                                         {"--work-order", &order.workOrder},
                                                         {"--operator", &order.operatorName},
                                                         {"--lot", &order.lot}};
  for (const auto& [name, field] : fields) {
    if (arg != name) continue;
    if (i + 1 >= args.size() || isOptionSpelling(args[i + 1])) {
      result.badValue = arg + " needs a value.";
    } else if (const std::string refusal = orderfields::refusal(arg, args[i + 1]); !refusal.empty()) {
      result.badValue = refusal;
    } else {
      *field = args[++i];
    }
    if (field == &order.workOrder) result.history.filter.workOrder = *field;
    return true;
  }
  if (arg == "--trusted-key") {
    std::string file;
    if (!takeText(args, i, file)) result.badValue = "--trusted-key takes a minisign public key file.";
    else if (const std::string problem = sourcesignature::keyFileProblem(file); !problem.empty()) result.badValue = problem;
    else job.trust.keyFiles.push_back(file);
  } else if (arg == "--require-signature") {
    job.trust.required = true;
    job.trust.requiredBy = "--require-signature";
  } else if (arg == "--log-times" || arg == "--no-log-times") {
    result.logTimes = arg == "--log-times";
  } else {
    return false;
  }
  return true;
}

// The options of the load history and of the source's digests; false when arg is none of them.
bool readRecordOption(const std::vector<std::string>& args, std::size_t& i, LoadJob& job, CommandLineResult& result) {
  const std::string& arg = args[i];
  std::string value;
  HistoryQuery& query = result.history;
  if (arg == "--no-history") {
    result.noHistory = true;
  } else if (arg == "--list-history") {
    query.list = true;
  } else if (arg == "--record") {
    if (!takeText(args, i, job.recordFile)) result.badValue = "--record takes the file to write the recording to.";
  } else if (arg == "--history-required") {
    job.history.required = true;
  } else if (arg == "--sync-history") {
    result.syncHistory = true;
  } else if (arg == "--history-db") {
    if (!takeText(args, i, job.history.path))
      result.badValue = "--history-db takes the load history's file, its server's URL postgresql://USER@HOST[:PORT]/DB, "
                        "or the line service's https://HOST[:PORT]/.";
  } else if (arg == "--history-token-file") {
    if (!takeText(args, i, job.history.tokenFile))
      result.badValue = "--history-token-file takes the file whose first line is this station's token for the line service.";
  } else if (arg == "--history-ca") {
    if (!takeText(args, i, job.history.service.caFile))
      result.badValue = "--history-ca takes the certificate file (PEM) of the line service's certificate authority.";
  } else if (arg == "--save-history-token") {
    result.saveHistoryToken = true;
  } else if (arg == "--station") {
    if (!takeText(args, i, query.filter.station)) result.badValue = "--station takes a station's host name.";
  } else if (arg == "--export-history") {
    if (!takeText(args, i, query.exportFile)) result.badValue = "--export-history takes the CSV file to write.";
  } else if (arg == "--receiver") {
    if (!takeText(args, i, query.filter.receiverId)) result.badValue = "--receiver takes a receiver's identity.";
  } else if (arg == "--since" || arg == "--until") {
    std::string& bound = arg == "--since" ? query.filter.since : query.filter.until;
    if (!takeText(args, i, value) || (bound = historyclock::instantOf(value, std::chrono::system_clock::now())).empty())
      result.badValue = arg + " takes today, yesterday, a local date or time (2026-12-09, 2026-12-09T10:15) or a "
                              "time with its zone (2026-12-09T10:15Z, 2026-12-09T11:15+01:00).";
  } else if (arg == "--limit") {
    const long long limit = takeText(args, i, value) && value.find_first_not_of("0123456789") == std::string::npos
                                ? readDecimal(value) : 0;
    if (limit < 1 || limit > INT_MAX) result.badValue = "--limit takes a whole number of rows, 1 or more.";
    else query.filter.limit = static_cast<int>(limit);
  } else if (arg == "--sha256") {
    if (!takeText(args, i, value) || (job.digest.sha256 = normalisedSha256(value)).empty())
      result.badValue = "--sha256 takes the source file's SHA-256 digest, 64 hexadecimal digits.";
  } else if (arg == "--sha256-file") {
    if (!takeText(args, i, job.digest.listFile))
      result.badValue = "--sha256-file takes a list of digests in the form sha256sum writes.";
  } else {
    return false;
  }
  return true;
}

}  // namespace

std::string absolutePath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path abs = std::filesystem::absolute(pathtext::fromUtf8(path), ec);
  if (ec) return path;
  std::string result = pathtext::toUtf8(abs.lexically_normal());
  // A folder keeps its closing separator (a normalised Windows path may already end in one).
  const bool folder = !path.empty() && pathtext::lastSeparator(path) == path.size() - 1;
  if (folder && pathtext::lastSeparator(result) != result.size() - 1) result += path.back();
  return result;
}

std::string usageText() {
  return "Example: /port COM1 /speed 115200 /source \"C:\\new firmware\" /capture fldp /exit /run\r\n"
         "\r\n"
         "/port COMx        - serial port with the receiver (COM1).\r\n"
         "/speed <number>   - serial port speed (115200).\r\n"
         "/capture <method> - capture method: soft or power or fldp or data;\r\n"
         "          soft - send \"reset\" command to receiver and capture boot\r\n"
         "                 loader after reset;\r\n"
         "          power - capture boot loader after receiver power ON;\r\n"
         "          fldp - use direct firmware upload to reciever memory;\r\n"
         "          data - imply the file, specified in /source as\r\n"
         "                 simple data file to be loaded to receiver memory;\r\n"
         "/source <path> - file name either of a ZIP file, or a\r\n"
         "        firmware image, or a folder with firmware image files.\r\n"
         "/exit - the program should exit after successful\r\n"
         "        firmware loading.\r\n"
         "/run - the program will use the values above to\r\n"
         "       start loading firmware. In case of \"/capture power\" you\r\n"
         "       need to turn the receiver on in time.\r\n"
         "/log <filename>   - specify a file to log the activity to.\r\n"
         "/MTU <mtu>        - set maximum transfer unit size in bytes.\r\n";
}

std::string platformUsageNotes() {
  const PlatformUsage platform = platformUsage();
  return "On " + platform.name + ":\r\n"
         "  Options may also be written --port, --speed, --capture, --source, --exit, --run,\r\n"
         "  --log, --mtu; --help prints this text.\r\n"
         "  --reply-gap MS waits MS ms of quiet line after each reply of a serial block\r\n"
         "  transfer before judging it (0-1000; 50 is the classic timing, for a receiver\r\n"
         "  that needs it); by default a reply is judged three character times after it.\r\n"
         "  --version prints the version. --list-ports lists the ports the wizard would\r\n"
         "  offer (name, description, kind, the /port value), one a line; with --json as a\r\n"
         "  JSON array. " + platform.check +
         "--json with /run prints the run as JSON lines\r\n"
         "  (status, log, progress, warning, result) instead of text.\r\n"
         "  --quiet (-q) with /run prints warnings, errors and the result only; -v\r\n"
         "  (--verbose) also each exchange with the receiver, summarised on a line.\r\n" +
         platform.ports +
         "    tcp:HOST:PORT[:PASSWORD]       a receiver on the network\r\n" +
         platform.usb +
         "    bt:(XX:XX:XX:XX:XX:XX)         a receiver over Bluetooth\r\n"
         "  A link's prefix may be written in any case; an IPv6 host goes in brackets\r\n"
         "  (tcp:[::1]:4001). A stored host's or device's description (as the set-up\r\n"
         "  dialog shows it, case counts) names it with its stored settings.\r\n"
         "  A TCP/IP password is taken, first found, from the port's :PASSWORD (others\r\n"
         "  can read a command line: a warning says so), --password-file FILE (its first\r\n"
         "  line; the file must be private to its owner), VESTREL_TCP_PASSWORD, the\r\n"
         "  stored host with that host and port, or a prompt when typed at a terminal.\r\n"
         "  --identify /port PORT [/speed N] [--json] asks the receiver who it is (model,\r\n"
         "  identity, hardware version, board, main firmware, the speed it answered at)\r\n"
         "  and changes nothing in it; exit 0 when a receiver answered, 1 when none did.\r\n"
         "  --max-source-mib N: the images of a run may declare N MiB together (512);\r\n"
         "  a larger set, an archive of more than 10000 entries or with two names that\r\n"
         "  differ only in case, and a data file whose name holds % or : are refused.\r\n"
         "  --expect-version TEXT: after a firmware load the receiver's main firmware\r\n"
         "  must begin with TEXT, else the run fails.\r\n"
         "  --sha256 HEX, or --sha256-file FILE in the form sha256sum writes: the source\r\n"
         "  file (a folder's images, by name) must have that digest, checked before\r\n"
         "  anything is sent to the receiver (exit 1, naming both digests).\r\n"
         "  Every run that talks to a receiver writes a row of the load history\r\n"
         "  (--history-db PATH keeps it elsewhere, --no-history writes none);\r\n"
         "  --list-history [--json] [--receiver ID] [--port P] [--since WHEN]\r\n"
         "  [--station HOST] [--limit N] shows it newest first; --export-history\r\n"
         "  FILE.csv writes it. --history-required: no load without its row (exit 1).\r\n" +
         platform.historyServer +
         "  A station joins a line's history through the line service (vestrel-line) with\r\n"
         "  --history-db https://HOST[:PORT]/ (or VESTREL_HISTORY_DB, the fleet's children\r\n"
         "  too) with the station's token, which the service's admin issues, from\r\n"
         "  --history-token-file FILE (its first line) or the user's secret store\r\n"
         "  (vestrel --save-history-token --history-db URL stores it). The service's\r\n"
         "  certificate must be one the system trusts, or chain to --history-ca FILE\r\n"
         "  (the line's own certificate authority). A row the service cannot take waits\r\n"
         "  in this station's history, pending; --sync-history sends the waiting rows now.\r\n"
         "  --receiver-id ID: after the port test a receiver of another identity is\r\n"
         "  refused before anything is written (exit 1). --work-order W, --operator NAME,\r\n"
         "  --lot L (printable, at most 64 characters) go into the run's row and the log's\r\n"
         "  first lines; --list-history takes --work-order W and --receiver ID filters,\r\n"
         "  and --since/--until WHEN: today, yesterday, a local date or time\r\n"
         "  (2026-12-09, 2026-12-09T10:15) or one with its zone (2026-12-09T10:15Z).\r\n"
         "  --trusted-key FILE (repeatable): a minisign public key whose signatures are\r\n"
         "  trusted; the source FILE's signature is FILE.minisig (a folder's: its\r\n"
         "  --sha256-file list's), checked before anything is read or any port opened.\r\n"
         "  --require-signature refuses a source no trusted key signed (exit 1).\r\n" +
         platform.trust +
         "  --log-times / --no-log-times: each log line with its local time and zone\r\n"
         "  (on by default with /run).\r\n" +
         "  --record FILE (with /run) writes every exchange with the receiver to FILE\r\n"
         "  (docs/recording.md; a TCP/IP password is not in it).\r\n"
         "  With /run an option that needs a value may not stand last, be empty nor be\r\n"
         "  followed by another option; a word like an option that is none (/Port), a\r\n"
         "  /speed the wizard does not offer for a serial link and a /source that is not\r\n"
         "  there are bad usage too, before any port opens; another word is said and\r\n"
         "  ignored.\r\n"
         "  Every image is read and its header checked before any port opens; after the\r\n"
         "  port test the set is held whole against the receiver's hardware version and\r\n"
         "  refused before the first capture when any image does not fit. Of two models\r\n"
         "  in one archive the one built for the receiver is loaded. The log's last lines\r\n"
         "  give each image's result (not reached, sent, flashed, stored, refused, failed)\r\n"
         "  and, for a load not confirmed, the failure's kind (link lost, the receiver\r\n"
         "  silent, the boot loader not caught, refused by the receiver, wrong hardware,\r\n"
         "  the source refused, the port unusable, stopped by the operator or a signal,\r\n"
         "  not confirmed) with a remedy line; JSON as images[].result, failure.kind.\r\n"
         "  Exit status: 0 after a load the receiver confirmed, 1 after a failed or\r\n"
         "  aborted one, 2 for bad usage (also --json without /run, --list-ports or\r\n"
         "  --check), 3 after a firmware load the receiver did not confirm (it did not\r\n"
         "  answer for its version afterwards, or its file system never got ready);\r\n" +
         platform.stopSignals;
}

long long readDecimal(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) value = static_cast<long long>(INT_MAX) + 1;  // saturate
  }
  if (negative) value = -value;
  return std::clamp<long long>(value, INT_MIN, INT_MAX);
}

CommandLineResult parseCommandLine(const std::vector<std::string>& args, LoadJob& job, SourceKind& kind) {
  CommandLineResult result;
  job.port.clear();
  job.portEntry = PortEntry{};
  job.passwordFile.clear();
  job.maxSourceMib = 0;
  job.digest = {};
  job.trust = {};
  job.history = {};
  job.recordFile.clear();
  job.speed = 115200;
  job.exitWhenDone = false;
  job.method = LoadMethod::SoftBreakCapture;
  job.directUpload = false;
  long long speed = job.speed;
  bool speedGiven = false;
  // Unattended runs and --identify reach a receiver without anyone looking: they read strictly.
  const bool strict = hasRunOption(args) ||
                      std::find(args.begin(), args.end(), std::string("--identify")) != args.end();
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (isOption(arg, "/exit", "exit")) {
      job.exitWhenDone = true;
    } else if (isOption(arg, "/run", "run")) {
      job.run = true;
      if (job.port.empty()) job.port = "COM1";
    } else if (arg == "--help" || arg == "-h" || arg == "/?") {
      result.showHelp = true;
    } else if (arg == "--version") {
      result.showVersion = true;
    } else if (arg == "--list-ports") {
      result.listPorts = true;
    } else if (arg == "--check") {
      result.check = true;
    } else if (arg == "--identify") {
      result.identify = true;
    } else if (arg == "--json") {
      result.json = true;
    } else if (arg == "--window") {
      result.window = true;
    } else if (arg == "--quiet" || arg == "-q") {
      result.verbosity = -1;
    } else if (arg == "--verbose" || arg == "-v") {
      result.verbosity = 1;
    } else if (isOption(arg, "/port", "port") || isOption(arg, "/source", "source") ||
               isOption(arg, "/speed", "speed") || isOption(arg, "/MTU", "MTU") || arg == "--mtu" ||
               isOption(arg, "/capture", "capture") || isOption(arg, "/log", "log")) {
      if (strict) {
        std::string missing = missingValue(args, i);
        if (missing.empty()) missing = emptyValue(args, i);
        if (!missing.empty()) {
          if (result.badValue.empty()) result.badValue = missing;
          continue;
        }
      }
      if (!hasValue) continue;  // an option that needs a value but stands last is ignored
      const std::string& value = args[++i];
      if (isOption(arg, "/port", "port")) job.port = value;
      else if (isOption(arg, "/source", "source")) job.source = value;
      else if (isOption(arg, "/speed", "speed")) speed = readDecimal(value), speedGiven = true;
      else if (isOption(arg, "/log", "log")) result.logFiles.push_back(value);
      else if (isOption(arg, "/capture", "capture")) {
        job.methodGiven = true;
        if (value == "soft" || value == "reset") job.method = LoadMethod::SoftBreakCapture;
        else if (value == "power") job.method = LoadMethod::PowerOnCapture;
        else if (value == "fldp" || value == "data") {
          job.method = LoadMethod::FileUpload;
          job.directUpload = true;
          job.plainDataFile = job.plainDataFile || value == "data";
        }
      } else {
        const long long mtu = readDecimal(value);
        job.mtu = mtu == 0 ? 0 : static_cast<uint32_t>(std::clamp(mtu, kMinMtu, kMaxMtu));
      }
    } else if (arg == "--reply-gap") {
      if (!hasValue || !readReplyGap(args[++i], job.replyGapMs))
        result.badValue = "--reply-gap takes a whole number of milliseconds from 0 to 1000.";
    } else if (arg == "--max-source-mib") {
      const long long mib = hasValue ? readDecimal(args[i + 1]) : 0;
      if (!hasValue || mib < 1 || mib > kMaxSourceMib || args[i + 1].find_first_not_of("0123456789") != std::string::npos)
        result.badValue = "--max-source-mib takes a whole number of MiB from 1 to " + std::to_string(kMaxSourceMib) + ".";
      else
        job.maxSourceMib = static_cast<uint32_t>(mib), ++i;
    } else if (arg == "--password-file") {
      if (!takeText(args, i, job.passwordFile))
        result.badValue = "--password-file takes the file whose first line is the TCP/IP password.";
    } else if (arg == "--expect-version") {
      if (!takeText(args, i, job.expectVersion))
        result.badValue = "--expect-version takes the version the main firmware must begin with after the load.";
    } else if (readRecordOption(args, i, job, result) || readOrderOption(args, i, job, result)) {
      continue;
    } else if (arg.rfind("--", 0) == 0 && arg.size() > 2) {
      result.badOption = arg;
    } else if (strict && arg.size() > 1 && arg[0] == '/') {
      // Unattended, a word that looks like an option but is none ("/Port") would leave its value
      // unread and the run to another port than the one meant.
      if (result.badOption.empty()) result.badOption = arg;
    } else if (strict) {
      result.ignoredWords.push_back(arg);
    }
  }
  job.speed = static_cast<uint32_t>(std::max<long long>(speed, kMinSpeed));
  if (!job.port.empty()) job.connection = CMNC::KindOfPortText(job.port);
  if (strict && speedGiven && result.badValue.empty()) result.badValue = unofferedSpeed(speed, job.connection);
  classifySource(job, kind);
  return result;
}

namespace {
// A port's text with its password, if it carried one, as "***".
std::string maskedPort(const std::string& text) {
  CMNC::PortText parsed;
  std::string error;
  if (CMNC::ParsePortText(text, parsed, error)) return parsed.password.empty() ? parsed.text : parsed.text + ":***";
  return CMNC::ShownPortText(text);
}
}  // namespace

std::string maskedCommandLine(const std::string& program, const std::vector<std::string>& args) {
  std::string line = program;
  for (const std::string& arg : args) {
    std::string word = arg;
    const auto equals = word.find('=');
    if (word.rfind("--", 0) == 0 && equals != std::string::npos && CMNC::HasLinkPrefix(word.substr(equals + 1)))
      word = word.substr(0, equals + 1) + maskedPort(word.substr(equals + 1));
    else if (CMNC::HasLinkPrefix(word))
      word = maskedPort(word);
    if (word.empty() || word.find_first_of(" \t\"") != std::string::npos) {
      std::string quoted = "\"";
      for (const char c : word) quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
      word = quoted + "\"";
    }
    line += " " + word;
  }
  return line;
}
