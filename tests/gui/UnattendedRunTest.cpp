#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "SampleFirmware.h"
#include "SimFixture.h"
#include "TempDir.h"

namespace {

struct Result {
  int status = -1;
  std::string output;
};

// The load history these runs write: their own, never the operator's.
std::string stateHome() {
  static const TempDir state;
  return state.path();
}

// Runs the program as an operator would, without a display. The platform plugin named does not
// exist: a run that created a widget (or any window-system object) would abort at once.
Result runVestrel(const std::string& args) {
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=vestrel-none XDG_STATE_HOME=" + stateHome() +
                              " " VESTREL_BINARY " " + args + " 2>&1";
  Result r;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return r;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe)) r.output += buffer;
  const int raw = ::pclose(pipe);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return r;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Starts the program without a display, its output into a file; returns its process id.
pid_t startVestrel(const std::string& args, const std::string& output) {
  const std::string command = "exec env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=vestrel-none XDG_STATE_HOME=" +
                              stateHome() + " " VESTREL_BINARY " " + args + " >" + output + " 2>&1";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

class Unattended : public SimFixture {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sample::writeDistribution(dir.path(), sample::Options{}, error)) << error;
  }
  TempDir dir;
};

}  // namespace

TEST_F(Unattended, SuccessfulLoadExitsWithZero) {
  startReceiver();
  const std::string log = dir.file("activity.log");
  const Result r = runVestrel("/port " + receiver->ptyPath() + " /source " + dir.file("named.zip") +
                              " /capture soft /log " + log + " --no-log-times /exit /run");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Quering receiver parameters..."), std::string::npos);  // echoed page by page
  EXPECT_NE(r.output.find("Successfully loaded!"), std::string::npos);
  EXPECT_EQ(receiver->flashed().size(), 4u);
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str().rfind("Log file started ", 0), 0u);
  EXPECT_NE(text.str().find("Main firmware loaded.\n"), std::string::npos);
  EXPECT_NE(text.str().find("next step.\nOpening "), std::string::npos);  // "Test" writes only its own line
  EXPECT_NE(text.str().find("Log file closed "), std::string::npos);
}

TEST_F(Unattended, FailedLoadExitsWithOne) {
  ReceiverConfig config;
  config.faults.hardwareVersion = 23;  // built for other hardware
  startReceiver(config);
  const Result r = runVestrel("/port " + receiver->ptyPath() + " /source " + dir.file("named/main.ldp") + " /exit /run");
  EXPECT_EQ(r.status, 1) << r.output;
  // Held against the hardware the port test found, the set is refused before any capture.
  EXPECT_NE(r.output.find("The firmware does not fit this receiver: RAM loader (ramimage.ldr) is built for hardware "
                          "version 20, the receiver's is 23."),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("Failure: wrong hardware"), std::string::npos);
  EXPECT_EQ(r.output.find("abort"), std::string::npos);
  EXPECT_EQ(receiver->captures(), 0);
  EXPECT_TRUE(receiver->flashed().empty());
}

TEST_F(Unattended, PortThatCannotBeOpenedExitsWithOne) {
  const Result r = runVestrel("/port /dev/vestrel-no-such-port /source " + dir.file("named.zip") + " /run");
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("Error opening port /dev/vestrel-no-such-port:"), std::string::npos);
}

TEST_F(Unattended, DataFileOverTcp) {
  startReceiver({}, true);
  const Result r = runVestrel("/port tcp:127.0.0.1:" + std::to_string(receiver->tcpPort()) + ":vestrel /capture data /source " +
                              dir.file("data/settings.cfg") + " /exit /run");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(receiver->files().count("/log/settings.cfg"), 1u);
  EXPECT_EQ(r.output.find(":vestrel"), std::string::npos) << r.output;  // the password is never shown
}

TEST(Usage, HelpAndBadOptions) {
  Result help = runVestrel("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("/MTU <mtu>        - set maximum transfer unit size in bytes."), std::string::npos);
  EXPECT_NE(help.output.find("tcp:HOST:PORT[:PASSWORD]"), std::string::npos);
  EXPECT_EQ(runVestrel("--no-such-option").status, 2);
  EXPECT_EQ(runVestrel("/port COM1").status, 2);  // no display and nothing to run unattended
}

TEST(Usage, CheckTellsWhatIsNoSerialPortAsTextOrJson) {
  Result r = runVestrel("--check --json /port /dev/null");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find(R"x({"port":"/dev/null","check":"serial-device","result":"problem","text":"not a serial device",)x"
                          R"x("remedy":"name a serial port such as /dev/ttyUSB0 (see \"vestrel --list-ports\")"})x"),
            std::string::npos)
      << r.output;
  EXPECT_EQ(r.output.front(), '[');
  r = runVestrel("--check /port /");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("PROBLEM /: not a serial device"), std::string::npos) << r.output;
  r = runVestrel("--check /port tcp:[::1:4001");  // a malformed port is bad usage
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("in brackets"), std::string::npos) << r.output;
}

// A stop signal during a load aborts it as "Abort" would: the abort texts, the closed log, the
// advice about the receiver's state as the last line, and 128 + the signal's number.
TEST_F(Unattended, StopSignalsAbortTheRunAndCloseTheLog) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(signal);
    ReceiverConfig off;
    off.poweredOn = false;  // the capture waits for a receiver that never answers
    startReceiver(off);
    const std::string log = dir.file("signal.log"), output = dir.file("signal.out");
    std::remove(log.c_str());
    std::remove(output.c_str());
    const pid_t pid = startVestrel("/port " + receiver->ptyPath() + " /source " + dir.file("named.zip") +
                                       " /capture power /log " + log + " --no-log-times /exit /run",
                                   output);
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 100 && readFile(output).find("Capturing...") == std::string::npos; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(::kill(pid, signal), 0);
    int raw = 0;
    ASSERT_EQ(::waitpid(pid, &raw, 0), pid);
    ASSERT_TRUE(WIFEXITED(raw)) << readFile(output);
    EXPECT_EQ(WEXITSTATUS(raw), 128 + signal);
    const std::string out = readFile(output);
    EXPECT_NE(out.find("The firmware loading was aborted."), std::string::npos) << out;
    const std::string advice =
        "Interrupted: the receiver may be left in its boot loader: switch it off and on and load again with Power On "
        "Capture.\n";
    // The advice, then the closing lines: the images, the failure's kind and the same advice as its remedy.
    const std::string closing =
        "Failure: stopped by a signal\nRemedy: The receiver may be left in its boot loader: switch it off and on and "
        "load again with Power On Capture.\n";
    ASSERT_GE(out.size(), closing.size());
    EXPECT_EQ(out.substr(out.size() - closing.size()), closing) << out;
    EXPECT_LT(out.find(advice), out.find("Images: 0 of 4 flashed\n")) << out;
    const std::string written = readFile(log);
    EXPECT_NE(written.find("Aborted by user"), std::string::npos);
    EXPECT_NE(written.find(advice), std::string::npos) << written;
    EXPECT_NE(written.find(closing + "\nLog file closed "), std::string::npos) << written;
    receiver->stop();
  }
}
