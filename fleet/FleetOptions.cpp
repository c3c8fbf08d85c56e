#include "FleetOptions.h"

#include <algorithm>
#include <cctype>
#include <map>

#include <boost/regex.hpp>

#include "LinkKinds.h"
#include "PortNames.h"

namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// vestrel's own spelling of an option: "/port", "--port" and "-port" alike, any case.
std::string optionName(const std::string& arg) {
  std::string name = lower(arg);
  if (name.rfind("--", 0) == 0) return name.substr(2);
  if (!name.empty() && (name[0] == '/' || name[0] == '-')) return name.substr(1);
  return "";
}

// What the fleet gives each child itself, or what has no place in a fleet's run.
// A vestrel option that takes a value but stands last, or is followed by another option: with the
// fleet's own options around it, one of them would be taken for its value.
std::string optionWithoutValue(const std::vector<std::string>& args) {
  static const char* const kTakesValue[] = {"speed",          "capture",       "source",     "mtu",    "reply-gap",
                                            "expect-version", "password-file", "max-source-mib", "history-db",
                                            "sha256",         "sha256-file",   "history-token-file", "history-ca"};
  static const char* const kOthers[] = {"port", "log", "exit", "run", "json", "window"};
  const auto named = [](const std::string& arg, const auto& names) {
    const std::string name = lower(optionName(arg));
    return std::any_of(std::begin(names), std::end(names), [&](const char* n) { return name == n; });
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (!named(args[i], kTakesValue)) continue;
    if (i + 1 == args.size()) return args[i] + " needs a value, but it stands last.";
    if (named(args[i + 1], kTakesValue) || named(args[i + 1], kOthers))
      return args[i] + " needs a value, but the option " + args[i + 1] + " follows it.";
    ++i;
  }
  return "";
}

std::string refusedOption(const std::vector<std::string>& args) {
  static const char* const kRefused[] = {"port", "log", "run", "exit", "json", "window", "list-ports", "check",
                                         "help", "version", "list-history", "export-history", "sync-history",
                                         "record", "receiver-id", "save-history-token"};
  for (const std::string& arg : args) {
    const std::string name = optionName(arg);
    for (const char* refused : kRefused)
      if (name == refused) return arg;
  }
  return "";
}

// A port in its canonical text; a password it carries is kept apart, for the child's environment.
std::string addPort(const std::string& text, FleetOptions& o) {
  CMNC::PortText port;
  std::string error;
  if (!CMNC::ParsePortText(text, port, error)) return "--port: " + error;
  if (!port.password.empty()) {
    o.passwords[port.text] = port.password;
    o.passwordInArguments = true;
  }
  o.ports.push_back(port.text);
  return "";
}

bool positiveNumber(const std::string& text, int& value) {
  if (text.empty() || text.size() > 6 || !std::all_of(text.begin(), text.end(), ::isdigit)) return false;
  value = std::stoi(text);
  return value > 0;
}

}  // namespace

bool FleetOptions::bootLoaderCapture() const {
  for (std::size_t i = 0; i + 1 < vestrelArgs.size(); ++i)
    if (optionName(vestrelArgs[i]) == "capture") {
      const std::string method = lower(vestrelArgs[i + 1]);
      return method == "soft" || method == "reset" || method == "power";
    }
  return true;  // Soft Break Capture unless said otherwise
}

bool FleetOptions::powerOnCapture() const {
  for (std::size_t i = 0; i + 1 < vestrelArgs.size(); ++i)
    if (optionName(vestrelArgs[i]) == "capture" && lower(vestrelArgs[i + 1]) == "power") return true;
  return false;
}

std::string parseFleetOptions(const std::vector<std::string>& args, FleetOptions& o) {
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool more = i + 1 < args.size();
    if (a == "--") break;
    if (a == "--help" || a == "-h") o.help = true;
    else if (a == "--version") o.version = true;
    else if (a == "--all") o.all = true;
    else if (a == "--json") o.json = true;
    else if (a == "--allow-unconfirmed") o.allowUnconfirmed = true;
    else if (a == "--identify") o.identify = true;
    else if (a == "--skip-current") o.skipCurrent = true;
    else if ((a == "--port" || a == "--match" || a == "--log-dir" || a == "--record-dir" || a == "--jobs" || a == "--vestrel" ||
              a == "--expect-version" || a == "--retry" || a == "--receivers") && !more)
      return a + " needs a value.";
    else if (a == "--expect-version") o.expectVersion = args[++i];
    else if (a == "--retry") {
      if (!positiveNumber(args[++i], o.retries)) return "--retry takes a number of 1 or more, not \"" + args[i] + "\".";
    }
    else if (a == "--port") {
      if (const std::string bad = addPort(args[++i], o); !bad.empty()) return bad;
    }
    else if (a == "--match") o.match = args[++i];
    else if (a == "--receivers") o.receiversFile = args[++i];
    else if (a == "--log-dir") o.logDir = args[++i];
    else if (a == "--record-dir") o.recordDir = args[++i];
    else if (a == "--vestrel") o.vestrel = args[++i];
    else if (a == "--jobs") {
      if (!positiveNumber(args[++i], o.jobs)) return "--jobs takes a number of 1 or more, not \"" + args[i] + "\".";
    } else {
      return "Unknown option \"" + a + "\" (the options for vestrel go after \"--\").";
    }
  }
  if (o.help || o.version) return "";
  if (i == args.size() && !o.identify) return "The vestrel options are missing: put them after \"--\".";
  if (i < args.size()) o.vestrelArgs.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
  if (o.skipCurrent && o.expectVersion.empty())
    return "--skip-current needs --expect-version: the version a receiver must run to be left alone.";
  if (o.identify && (o.skipCurrent || !o.expectVersion.empty() || o.allowUnconfirmed || o.retries > 0))
    return "--identify loads nothing: --skip-current, --expect-version, --allow-unconfirmed and --retry go with a load.";
  if (const std::string refused = refusedOption(o.vestrelArgs); !refused.empty())
    return "\"" + refused + "\" is the fleet's to give: leave it out of the vestrel options.";
  if (const std::string missing = optionWithoutValue(o.vestrelArgs); !missing.empty()) return missing;
  if (!o.receiversFile.empty() && o.identify) return "--identify loads nothing: --receivers goes with a load.";
  if (!o.receiversFile.empty() && !o.ports.empty())
    return "--receivers names the ports itself (or --all finds them): leave --port out.";
  if (!o.receiversFile.empty() && !o.all) return "";  // the list's ports are checked once it is read
  if (o.all == !o.ports.empty()) return o.all ? "--all and --port exclude each other." : "Name the receivers' ports with --port, or take them all with --all.";
  if (!o.match.empty() && !o.all) return "--match goes with --all.";
  if (!o.match.empty()) {
    try {
      boost::regex check(o.match);
    } catch (const boost::regex_error&) {
      return "--match: \"" + o.match + "\" is not a regular expression.";
    }
  }
  if (o.logDir.empty()) return "--log-dir needs a folder.";
  return portnames::checkDistinct(o.ports);
}

const char* fleetUsage() {
  return "usage: vestrel-fleet --port PORT [--port PORT]... [options] -- VESTREL-OPTIONS\n"
         "       vestrel-fleet --all [--match REGEX] [options] -- VESTREL-OPTIONS\n"
         "       vestrel-fleet --receivers FILE [--all [--match REGEX]] [options] -- VESTREL-OPTIONS\n"
         "       vestrel-fleet --identify (--port PORT... | --all [--match REGEX]) [--json]\n"
         "Loads the same firmware into several receivers side by side, each in a vestrel\n"
         "process of its own.\n"
         "\n"
         "  --port PORT     a receiver's port, in any form /port takes (/dev/ttyUSB0, COM3,\n"
         "                  tcp:HOST:PORT[:PASSWORD], usb:BUS-PORT, bt:(XX:XX:XX:XX:XX:XX))\n"
         "  --all           every port vestrel --list-ports shows\n"
         "  --match REGEX   with --all: only ports whose name or description matches\n"
         "  --receivers FILE  the receivers an order names: a CSV of port, receiver_id and\n"
         "                  optionally work_order, operator, lot (a first line \"port,...\"\n"
         "                  names the columns). Each port's receiver must be the one listed\n"
         "                  (vestrel --receiver-id): another is refused before anything is\n"
         "                  written. With --all every port is asked who answers first: a\n"
         "                  listed receiver is loaded wherever it answers, an unlisted one is\n"
         "                  refused, one that answers nowhere is reported not found\n"
         "  --log-dir DIR   one activity log per receiver in DIR (./vestrel-logs)\n"
         "  --record-dir DIR  one recording of the exchange per receiver in DIR, named like its log\n"
         "  --jobs N        at most N loads at once (all)\n"
         "  --json          print the summary as JSON\n"
         "  --vestrel PATH  the vestrel program (the one beside vestrel-fleet)\n"
         "  --identify      ask every receiver who it is (model, identity, hardware,\n"
         "                  board, main firmware, speed) and load nothing; the options\n"
         "                  after \"--\" may give /speed to try first\n"
         "  --expect-version TEXT  every load's main firmware must begin with TEXT\n"
         "  --skip-current  with --expect-version: a receiver that already runs it is\n"
         "                  not loaded and counts as current\n"
         "  --retry N       load a receiver whose load failed again, up to N more times,\n"
         "                  after a pause of 5 s (not after a stop, a refusal or bad usage)\n"
         "  --allow-unconfirmed  count a load the receiver did not confirm afterwards\n"
         "                  (it did not answer for its firmware) as loaded\n"
         "  --help, --version\n"
         "\n"
         "VESTREL-OPTIONS are those of an unattended run without /port, /log, /run and\n"
         "/exit, which the fleet adds, e.g. -- /speed 115200 /source fw.zip /capture soft\n"
         "\n"
         "On a terminal a table shows each receiver's stage, progress and rate as it goes;\n"
         "otherwise one line per stage change. A summary follows.\n"
         "Exit status: 0 when every receiver was loaded and confirmed it (or was current),\n"
         "1 when any failed or did not confirm (--identify: when a port did not answer),\n"
         "2 for bad\n"
         "usage, 128 + the signal's number when interrupted (every load stopped first).\n";
}
