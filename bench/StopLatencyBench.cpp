// How long a stop takes: from "Abort" (the session's stop, as the wizard's Abort, the window's
// close and the first interrupt signal call it) to the worker joined, at evenly spread moments of
// a whole load; and from SIGINT to the exit of the headless program.
//   bench_stop_latency [MOMENTS] [VESTREL]
// Prints one markdown table row per method and link: moments, median, 90th percentile and
// maximum in milliseconds, and how many stops took longer than 300 ms.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "EngineHarness.h"
#include "SampleFirmware.h"
#include "TempDir.h"
#include "VirtualReceiver.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kGoalMs = 300;

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

struct Case {
  const char* name;
  LoadMethod method;
  bool tcp;
  SourceKind kind;
  std::string source;
  bool poweredOff;  // the operator switches the receiver on half a second after the start
};

std::unique_ptr<VirtualReceiver> startReceiver(const Case& c) {
  ReceiverConfig config;
  config.poweredOn = !c.poweredOff;
  auto rx = std::make_unique<VirtualReceiver>(config);
  std::string error;
  if (!rx->startPty(error) || (c.tcp && !rx->startTcp(0, error))) {
    std::fprintf(stderr, "virtual receiver: %s\n", error.c_str());
    std::exit(2);
  }
  rx->run();
  return rx;
}

PortEntry entryOf(const VirtualReceiver& rx, bool tcp) {
  if (tcp) return {"TCP", "virtual receiver", "127.0.0.1:" + std::to_string(rx.tcpPort()) + ":vestrel", ConnectionKind::Tcpip};
  return {rx.ptyPath(), "virtual receiver", rx.ptyPath(), ConnectionKind::Serial};
}

// One load, stopped after delayMs (or run to its end when negative). Returns the stop's duration
// in ms, or the whole run's when not stopped.
double loadOnce(const Case& c, double delayMs) {
  auto rx = startReceiver(c);
  std::thread power;
  if (c.poweredOff)
    power = std::thread([&rx] {
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      rx->powerOn();
    });
  EngineHarness h;
  const auto start = Clock::now();
  if (!h.start(entryOf(*rx, c.tcp), c.method, c.kind, c.source)) {
    std::fprintf(stderr, "%s: not started: %s\n", c.name, h.error.c_str());
    std::exit(2);
  }
  double result = 0;
  if (delayMs < 0) {
    h.events.waitOutcome(std::chrono::minutes(10));
    result = msSince(start);
    h.stop();
  } else {
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(delayMs * 1000)));
    const auto stop = Clock::now();
    h.stop();
    result = msSince(stop);
  }
  if (power.joinable()) power.join();
  rx->stop();
  return result;
}

// The headless program interrupted by SIGINT after delayMs: the time from the signal to its exit.
double interruptOnce(const std::string& vestrel, const std::string& source, double delayMs, int& status) {
  Case c{"", LoadMethod::SoftBreakCapture, false, SourceKind::ZipArchive, source, false};
  auto rx = startReceiver(c);
  const std::string command = "exec " + vestrel + " /port " + rx->ptyPath() + " /source " + source +
                              " /capture soft /exit /run >/dev/null 2>&1";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv("QT_QPA_PLATFORM", "vestrel-none", 1);
    ::unsetenv("DISPLAY");
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long>(delayMs * 1000)));
  const auto signalled = Clock::now();
  ::kill(pid, SIGINT);
  int raw = 0;
  ::waitpid(pid, &raw, 0);
  const double ms = msSince(signalled);
  status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  rx->stop();
  return ms;
}

// Runs one measurement per moment, kParallel at a time (each against its own receiver): the runs
// mostly wait on the line, so side by side they do not disturb each other's stops.
constexpr std::size_t kParallel = 10;
std::vector<double> measure(const std::vector<double>& moments, const std::function<double(double)>& once) {
  std::vector<double> ms(moments.size());
  for (std::size_t first = 0; first < moments.size(); first += kParallel) {
    std::vector<std::thread> batch;
    for (std::size_t i = first; i < std::min(moments.size(), first + kParallel); ++i)
      batch.emplace_back([&, i] { ms[i] = once(moments[i]); });
    for (std::thread& t : batch) t.join();
  }
  return ms;
}

std::vector<double> spread(std::mt19937& random, int count, double untilMs) {
  std::uniform_real_distribution<double> moment(0, untilMs);
  std::vector<double> at;
  for (int i = 0; i < count; ++i) at.push_back(moment(random));
  return at;
}

void row(const char* name, double runMs, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  const auto at = [&ms](double q) { return ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * ms.size()))]; };
  const long over = std::count_if(ms.begin(), ms.end(), [](double v) { return v > kGoalMs; });
  std::printf("| %s | %.1f s | %zu | %.1f | %.1f | %.1f | %ld |\n", name, runMs / 1000, ms.size(), at(0.5), at(0.9),
              ms.back(), over);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int moments = argc > 1 ? std::atoi(argv[1]) : 50;
  const std::string vestrel = argc > 2 ? argv[2] : "";
  TempDir dir;
  std::string error;
  if (!sample::writeDistribution(dir.path(), sample::Options{}, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  const std::string named = dir.path() + "/named.zip";
  const std::vector<Case> cases = {
      {"Soft Break Capture, serial", LoadMethod::SoftBreakCapture, false, SourceKind::ZipArchive, named, false},
      {"Power On Capture, serial", LoadMethod::PowerOnCapture, false, SourceKind::ZipArchive, named, true},
      {"File upload, serial", LoadMethod::FileUpload, false, SourceKind::ImageFile, dir.path() + "/named/main.ldp", false},
      {"File upload, TCP", LoadMethod::FileUpload, true, SourceKind::ImageFile, dir.path() + "/named/main.ldp", false},
  };
  std::mt19937 random(20261207);
  std::printf("| method, link | whole run | moments | median ms | 90%% ms | max ms | over 300 ms |\n");
  std::printf("|---|---|---|---|---|---|---|\n");
  double softRunMs = 0;
  for (const Case& c : cases) {
    const double runMs = loadOnce(c, -1);
    if (c.method == LoadMethod::SoftBreakCapture) softRunMs = runMs;
    row(c.name, runMs, measure(spread(random, moments, runMs), [&c](double at) { return loadOnce(c, at); }));
  }
  if (!vestrel.empty()) {
    std::atomic<int> wrong{0};
    const auto ms = measure(spread(random, moments, softRunMs), [&](double at) {
      int status = 0;
      const double took = interruptOnce(vestrel, named, at, status);
      if (status != 130 && status != 0) ++wrong;
      return took;
    });
    row("SIGINT to exit, headless program, serial", softRunMs, ms);
    if (wrong) std::printf("(%d interrupted runs exited with neither 130 nor 0)\n", wrong.load());
  }
  return 0;
}
