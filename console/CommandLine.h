#pragma once
#include <optional>
#include <string>
#include <vector>

#include "LoadJob.h"
#include "LoadRecord.h"
#include "SourceKind.h"

// "--list-history" and "--export-history" with their filters.
struct HistoryQuery {
  bool list = false;       // "--list-history": the rows as a table, or JSON with --json
  std::string exportFile;  // "--export-history FILE.csv"
  HistoryFilter filter;    // "--receiver", "--port" (canonical), "--since", "--until", "--station",
                           // "--work-order", "--limit"
  bool wanted() const { return list || !exportFile.empty(); }
};

// What the command line asked for beyond the settings themselves.
struct CommandLineResult {
  std::vector<std::string> logFiles;  // "/log" values in order; each one is opened in turn
  bool showHelp = false;              // "--help", "-h" or "/?"
  bool showVersion = false;           // "--version"
  bool listPorts = false;             // "--list-ports"
  bool check = false;                 // "--check": the pre-flight check of /port, or of every port
  bool identify = false;              // "--identify": ask the receiver on /port who it is, nothing more
  bool json = false;                  // "--json": the port list or the run as JSON
  bool window = false;                // "--window": "/run" in the wizard's window, not on the console
  int verbosity = 0;                  // "--quiet"/"-q": -1 (warnings, errors, the result); "-v"/"--verbose": 1
  bool noHistory = false;             // "--no-history": the run writes no row
  bool syncHistory = false;           // "--sync-history": send the rows that wait for the line's server
  bool saveHistoryToken = false;      // "--save-history-token": keep the line service's token in the secret store
  HistoryQuery history;
  std::optional<bool> logTimes;       // "--log-times", "--no-log-times": each log line with its time
  std::string badOption;              // an unknown GNU-style option: bad usage
  std::string badValue;               // what is wrong with an option's value: bad usage
  std::vector<std::string> ignoredWords;  // with "/run": words that are no option, ignored (said on standard error)
};

// path made absolute and normal, as the program keeps a source and a log; a folder keeps its
// closing separator.
std::string absolutePath(const std::string& path);

// The usage text, lines ending in CR LF.
std::string usageText();
// Extra notes for this platform shown by --help after the usage text.
std::string platformUsageNotes();

// The lines of the usage notes that differ by platform (UsageNotesLinux.cpp, UsageNotesWindows.cpp).
struct PlatformUsage {
  std::string name;     // "Linux"
  std::string check;    // what --check does here, ending where "--json ..." goes on
  std::string ports;    // what /port takes, up to "Other links:"
  std::string usb;      // the usb: form
  std::string stopSignals;  // the exit statuses of a stop signal
  std::string historyServer;  // the line's history server, where there is one
  std::string trust;          // where the station's trusted keys and its signature policy are
};
PlatformUsage platformUsage();

// Fills job and kind from the arguments (the program name excluded). job is first reset to the
// defaults of a run with a command line.
CommandLineResult parseCommandLine(const std::vector<std::string>& args, LoadJob& job, SourceKind& kind);

// The number read as a signed decimal the way the C library's atoi reads it (leading blanks and a
// sign, stops at the first non-digit, no digits give 0), but saturating instead of overflowing.
long long readDecimal(const std::string& text);

// The command line as the load history and the activity log keep it: each TCP/IP password
// masked, a word with blanks or quotes in double quotes.
std::string maskedCommandLine(const std::string& program, const std::vector<std::string>& args);
