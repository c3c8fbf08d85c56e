#include <gtest/gtest.h>

#include <filesystem>

#include "CommandLine.h"
#include "ProgramRun.h"
#include "PathText.h"

namespace {

struct Parsed {
  LoadJob job;
  SourceKind kind = SourceKind::ZipArchive;
  CommandLineResult result;
};

Parsed parse(std::vector<std::string> args) {
  Parsed p;
  p.result = parseCommandLine(args, p.job, p.kind);
  return p;
}

std::string cwd() { return pathtext::toUtf8(std::filesystem::current_path()); }
const std::string kSep(1, static_cast<char>(std::filesystem::path::preferred_separator));
// A rooted path as this system writes it: as it is on Linux, "<drive>:\fw\..." on Windows.
std::string rooted(const std::string& path) {
  return pathtext::toUtf8(std::filesystem::absolute(pathtext::fromUtf8(path)).make_preferred());
}

}  // namespace

TEST(CommandLine, RunAloneTakesTheDefaults) {
  const Parsed p = parse({"/run"});
  EXPECT_TRUE(p.job.run);
  EXPECT_EQ(p.job.port, "COM1");
  EXPECT_EQ(p.job.speed, 115200u);
  EXPECT_EQ(p.job.method, LoadMethod::SoftBreakCapture);
  EXPECT_EQ(p.kind, SourceKind::Folder);
  EXPECT_EQ(p.job.source, cwd() + kSep);
}

TEST(CommandLine, PortNames) {
  // The port is kept as written until it is resolved (a stored description may look like anything).
  EXPECT_EQ(parse({"/port", "/dev/ttyUSB0"}).job.port, "/dev/ttyUSB0");
  EXPECT_EQ(parse({"/port"}).job.port, "");  // a value-less option standing last is ignored
  // A link's prefix in any case is that link, never a serial device (whose name shows a password).
  EXPECT_EQ(parse({"/port", "TCP:10.0.0.7:8000:pw"}).job.connection, ConnectionKind::Tcpip);
  EXPECT_EQ(parse({"/port", "BT:(00:11:22:33:44:55)"}).job.connection, ConnectionKind::Bluetooth);
  EXPECT_EQ(parse({"/port", "/dev/tcp:odd"}).job.connection, ConnectionKind::Serial);
  EXPECT_EQ(parse({"--password-file", "/home/op/pw", "/run"}).job.passwordFile, "/home/op/pw");
  EXPECT_NE(parse({"--password-file", "/run"}).result.badValue, "");
}

TEST(CommandLine, Numbers) {
  EXPECT_EQ(parse({"/speed", "300"}).job.speed, 4800u);
  EXPECT_EQ(parse({"/speed", "fast"}).job.speed, 4800u);
  EXPECT_EQ(parse({"/speed", "1500000"}).job.speed, 1500000u);
  EXPECT_EQ(parse({"/speed", " +9600baud"}).job.speed, 9600u);
  EXPECT_EQ(parse({"/speed", "99999999999999999999"}).job.speed, 2147483647u);
  EXPECT_EQ(parse({"/speed", "-99999999999999999999"}).job.speed, 4800u);
  EXPECT_EQ(parse({"/MTU", "0"}).job.mtu, 0u);
  EXPECT_EQ(parse({"/MTU", "-5"}).job.mtu, 32u);
  EXPECT_EQ(parse({"/MTU", "99999999999"}).job.mtu, 32768u);
  EXPECT_EQ(parse({"/MTU", "512"}).job.mtu, 512u);
  EXPECT_EQ(parse({"/mtu", "512"}).job.mtu, 0u);  // "/MTU" is written in capitals
}

TEST(CommandLine, ReplyGap) {
  EXPECT_EQ(parse({"/run"}).job.replyGapMs, -1);  // by default a few character times of the line
  EXPECT_EQ(parse({"--reply-gap", "50"}).job.replyGapMs, 50);
  EXPECT_EQ(parse({"--reply-gap", "0"}).job.replyGapMs, 0);
  EXPECT_EQ(parse({"--reply-gap", "1000"}).job.replyGapMs, 1000);
  for (const char* bad : {"1001", "-5", "fast", "", "5ms"}) {
    const Parsed p = parse({"--reply-gap", bad});
    EXPECT_EQ(p.job.replyGapMs, -1) << bad;
    EXPECT_NE(p.result.badValue.find("--reply-gap"), std::string::npos) << bad;
  }
  EXPECT_FALSE(parse({"--reply-gap"}).result.badValue.empty());  // its value missing
  EXPECT_NE(platformUsageNotes().find("--reply-gap MS"), std::string::npos);
}

TEST(CommandLine, CaptureMethods) {
  EXPECT_EQ(parse({"/capture", "reset"}).job.method, LoadMethod::SoftBreakCapture);
  EXPECT_EQ(parse({"/capture", "power"}).job.method, LoadMethod::PowerOnCapture);
  EXPECT_EQ(parse({"/capture", "power", "/capture", "bogus"}).job.method, LoadMethod::PowerOnCapture);
  const Parsed fldp = parse({"/capture", "fldp"});
  EXPECT_EQ(fldp.job.method, LoadMethod::FileUpload);
  EXPECT_TRUE(fldp.job.directUpload);
  EXPECT_FALSE(fldp.job.plainDataFile);
  const Parsed data = parse({"/capture", "data", "/source", "cfg.ZIP"});
  EXPECT_EQ(data.kind, SourceKind::DataFile);
  EXPECT_TRUE(data.job.plainDataFile);
  EXPECT_EQ(data.job.source, cwd() + kSep + "cfg.ZIP");
}

TEST(CommandLine, SourceClassification) {
  EXPECT_EQ(parse({"/source", "fw.zip"}).kind, SourceKind::ZipArchive);
  EXPECT_EQ(parse({"/source", "/fw/main.ldp"}).kind, SourceKind::ImageFile);
  EXPECT_EQ(parse({"/source", "/fw/main.ldp"}).job.source, rooted("/fw/main.ldp"));
  const Parsed upper = parse({"/source", "/fw/FW.ZIP"});  // the extension test is case-sensitive
  EXPECT_EQ(upper.kind, SourceKind::Folder);
  EXPECT_EQ(upper.job.source, rooted("/fw/FW.ZIP/"));
  EXPECT_EQ(parse({}).kind, SourceKind::ZipArchive);  // nothing to classify
}

TEST(CommandLine, FlagsAndOddArguments) {
  const Parsed p = parse({"stray", "/unknown", "/log", "a.log", "/log", "b.log", "/exit"});
  EXPECT_TRUE(p.job.exitWhenDone);
  EXPECT_EQ(p.result.logFiles, (std::vector<std::string>{"a.log", "b.log"}));
  EXPECT_TRUE(p.result.badOption.empty());
  EXPECT_EQ(parse({"--bogus"}).result.badOption, "--bogus");
  EXPECT_TRUE(parse({"--help"}).result.showHelp);
}

TEST(CommandLine, UsageTextLines) {
  const std::string usage = usageText();
  EXPECT_EQ(usage.rfind("Example: /port COM1 /speed 115200", 0), 0u);
  EXPECT_NE(usage.find("/MTU <mtu>        - set maximum transfer unit size in bytes.\r\n"), std::string::npos);
  EXPECT_EQ(usage.find('\n'), usage.find("\r\n") + 1);
}

TEST(CommandLine, ProgramOptionsBesideTheWrittenOnes) {
  Parsed p = parse({"--version"});
  EXPECT_TRUE(p.result.showVersion);
  p = parse({"--list-ports", "--json"});
  EXPECT_TRUE(p.result.listPorts);
  EXPECT_TRUE(p.result.json);
  EXPECT_FALSE(p.job.run);
  p = parse({"--check", "/port", "ttyUSB0"});
  EXPECT_TRUE(p.result.check);
  EXPECT_EQ(p.job.port, "ttyUSB0");
  p = parse({"--check"});
  EXPECT_TRUE(p.job.port.empty());  // no /run default: every port is checked
  p = parse({"--jsonl"});
  EXPECT_EQ(p.result.badOption, "--jsonl");
  EXPECT_NE(usageText().find("/MTU <mtu>"), std::string::npos);  // the written usage text is unchanged
  EXPECT_EQ(usageText().find("--json"), std::string::npos);
  EXPECT_NE(platformUsageNotes().find("--check "), std::string::npos);
}

// Unattended, an option without its value is refused before anything is opened: taking the next
// option as the value loaded another receiver. Values that merely begin with "/" stay values, and
// without "/run" the lenient reading stays.
TEST(CommandLine, UnattendedRunsRefuseAnOptionWithoutItsValue) {
  const Parsed swallowed = parse({"/speed", "/port", "ttyUSB1", "/source", "fw.zip", "/run"});
  EXPECT_EQ(swallowed.result.badValue, "/speed needs a value, but the option /port follows it.");
  EXPECT_EQ(parse({"/run", "/source", "fw.zip", "--speed"}).result.badValue, "--speed needs a value, but it stands last.");
  EXPECT_NE(parse({"--run", "/port", "--json"}).result.badValue, "");
  EXPECT_NE(parse({"/run", "/source", "/exit"}).result.badValue, "");

  const Parsed paths = parse({"/port", "/dev/ttyUSB0", "/source", "/home/op/fw.zip", "/log", "/tmp/a.log", "/run"});
  EXPECT_EQ(paths.result.badValue, "");
  EXPECT_EQ(paths.job.port, "/dev/ttyUSB0");
  EXPECT_EQ(paths.job.source, rooted("/home/op/fw.zip"));
  EXPECT_EQ(parse({"/run", "stray", "/port", "ttyS1"}).result.ignoredWords, std::vector<std::string>{"stray"});

  const Parsed lenient = parse({"/speed", "/port", "ttyUSB1", "stray", "/source"});
  EXPECT_EQ(lenient.result.badValue, "");
  EXPECT_TRUE(lenient.result.ignoredWords.empty());
  EXPECT_EQ(lenient.job.port, "");  // as written: /speed took "/port" as its value

  EXPECT_EQ(parse({"/run", "--expect-version", "4.3"}).job.expectVersion, "4.3");
  EXPECT_NE(parse({"/run", "--expect-version"}).result.badValue, "");
  EXPECT_NE(parse({"/run", "--expect-version", "/port", "x"}).result.badValue, "");
}

// Unattended, what would open another port than the one meant, or load at another speed than the
// port test used, is bad usage: a misspelt option, an empty value, a speed the wizard does not offer.
TEST(CommandLine, UnattendedRunsRefuseWhatWouldReachAnotherPortOrSpeed) {
  EXPECT_EQ(parse({"/Port", "/dev/ttyUSB3", "/source", "fw.zip", "/run"}).result.badOption, "/Port");
  EXPECT_EQ(parse({"/run", "/port", "", "/source", "fw.zip"}).result.badValue, "/port needs a value, but it is empty.");
  const std::string unoffered = parse({"/port", "ttyS0", "/speed", "12345", "/run"}).result.badValue;
  EXPECT_EQ(unoffered.rfind("/speed 12345 is not one of the speeds the wizard offers: 1500000, 460800,", 0), 0u) << unoffered;
  EXPECT_NE(parse({"/port", "ttyS0", "/speed", "921600", "/run"}).result.badValue, "");
  EXPECT_EQ(parse({"/port", "ttyS0", "/speed", "460800", "/run"}).result.badValue, "");
  EXPECT_EQ(parse({"/port", "tcp:10.0.0.7:8000", "/speed", "12345", "/run"}).result.badValue, "");  // its own rate
  // Without "/run" the window takes what it is given, as before.
  EXPECT_EQ(parse({"/Port", "x", "/speed", "12345"}).result.badOption, "");
  EXPECT_EQ(parse({"/Port", "x", "/speed", "12345"}).result.badValue, "");
}

// A source that is not there under "/run" is bad usage before any port is opened (without
// "/source" the run loads the current folder, which is there).
TEST(CommandLine, UnattendedRunsRefuseAMissingSourceBeforeAnyPort) {
  ProgramHooks none;
  EXPECT_EQ(runProgram({"/port", "/dev/vestrel-never-opened", "/source", "/nonexistent/fw.zip", "/run"}, none), 2);
}

// The history's and the digests' options: their values read strictly, their filters normalised,
// a password masked wherever the command line is kept.
TEST(CommandLine, HistoryAndDigestOptions) {
  const std::string digest(64, 'A');
  Parsed p = parse({"--list-history", "--receiver", "R-1", "--since", "2026-12-01 10:00Z", "--limit", "5", "--history-db",
                    "/tmp/h.sqlite3", "--export-history", "out.csv", "--no-history", "--sha256", digest, "--sha256-file", "SUMS"});
  EXPECT_EQ(p.result.badValue, "");
  EXPECT_TRUE(p.result.history.list && p.result.noHistory);
  EXPECT_EQ(p.result.history.exportFile, "out.csv");
  EXPECT_EQ(p.result.history.filter.receiverId, "R-1");
  EXPECT_EQ(p.result.history.filter.since, "2026-12-01T10:00:00.000Z");
  EXPECT_EQ(p.result.history.filter.limit, 5);
  EXPECT_EQ(p.job.history.path, "/tmp/h.sqlite3");
  EXPECT_EQ(p.job.digest.sha256, std::string(64, 'a'));
  EXPECT_EQ(p.job.digest.listFile, "SUMS");
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"--since", "last week"}, {"--limit", "0"}, {"--limit", "-3"}, {"--sha256", "abc"}, {"--sha256-file", "--json"},
           {"--history-db"}, {"--receiver", ""}, {"--station", "--json"}})
    EXPECT_NE(parse(bad).result.badValue, "") << bad[0];
  // The order's fields: printable text of at most 64 characters, counted as characters.
  p = parse({"--work-order", "WO-1", "--operator", std::string(64, 'e') , "--lot", "Ł-7", "--receiver-id", "VR-1"});
  EXPECT_EQ(p.result.badValue, "");
  EXPECT_EQ(p.job.history.order.workOrder, "WO-1");
  EXPECT_EQ(p.result.history.filter.workOrder, "WO-1");
  EXPECT_EQ(p.job.history.order.lot, "Ł-7");
  std::string manyWide;
  for (int i = 0; i < 64; ++i) manyWide += "é";
  EXPECT_EQ(parse({"--lot", manyWide}).result.badValue, "");
  for (const std::string& bad : {std::string(65, 'x'), manyWide + "e", std::string("WO\x1b[2J"), std::string("a\tb"),
                                 std::string("\xc2\x85"), std::string("\xff"), std::string("")})
    EXPECT_NE(parse({"--work-order", bad}).result.badValue, "") << bad;
  p = parse({"--sync-history", "--history-required", "--station", "st-2", "--history-db", "postgresql://line@db/history"});
  EXPECT_TRUE(p.result.syncHistory && p.job.history.required);
  EXPECT_EQ(p.result.history.filter.station, "st-2");
  EXPECT_EQ(p.job.history.path, "postgresql://line@db/history");
  EXPECT_EQ(maskedCommandLine("vestrel", {"/port", "tcp:rover:8002:s3cret", "--port=tcp:[::1]:4001:pw", "/source", "C:\\new firmware"}),
            "vestrel /port tcp:rover:8002:*** --port=tcp:[::1]:4001:*** /source \"C:\\new firmware\"");
}
