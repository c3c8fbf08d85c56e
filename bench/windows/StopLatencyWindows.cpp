// How long a stop takes in the Windows build: from the session's stop (what "Abort", the window's
// close and Ctrl-C call) to the worker joined and the COM port closed, at moments spread at random
// (seeded) over a load. Each moment has a virtual receiver of its own behind its own COM port,
// numbered from FIRST: per method one for the whole run, then one per moment, in the order Soft
// Break Capture, Power On Capture (receivers that stay switched off: the capture floods the line
// until its limit), file upload.
//   bench_stop_latency_windows MOMENTS FIRST
// Prints one markdown table row per method: moments, median, 90th percentile and maximum in ms,
// and how many stops took longer than 300 ms.
#include <algorithm>
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

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kGoalMs = 300;
constexpr std::size_t kParallel = 10;
constexpr double kPowerOnSpreadMs = 10000;  // an off receiver: moments over the capture's first 10 s

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

struct Case {
  const char* name;
  LoadMethod method;
  SourceKind kind;
  std::string source;
};

PortEntry comPort(int number) {
  const std::string name = "COM" + std::to_string(number);
  return {name, "virtual receiver", name, ConnectionKind::Serial};
}

// One load on the port, stopped after delayMs (run to its end when negative): the stop's duration,
// or the whole run's when not stopped.
double loadOnce(const Case& c, int com, double delayMs) {
  EngineHarness h;
  const auto start = Clock::now();
  if (!h.start(comPort(com), c.method, c.kind, c.source)) {
    std::fprintf(stderr, "%s: not started: %s\n", c.name, h.error.c_str());
    std::exit(2);
  }
  if (delayMs < 0) {
    h.events.waitOutcome(std::chrono::minutes(10));
    const double ms = msSince(start);
    h.stop();
    return ms;
  }
  std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(delayMs * 1000)));
  const auto stop = Clock::now();
  h.stop();
  return msSince(stop);
}

std::vector<double> measure(const Case& c, int firstCom, const std::vector<double>& moments) {
  std::vector<double> ms(moments.size());
  for (std::size_t first = 0; first < moments.size(); first += kParallel) {
    std::vector<std::thread> batch;
    for (std::size_t i = first; i < std::min(moments.size(), first + kParallel); ++i)
      batch.emplace_back([&, i] { ms[i] = loadOnce(c, firstCom + static_cast<int>(i), moments[i]); });
    for (std::thread& t : batch) t.join();
  }
  return ms;
}

void row(const char* name, double runMs, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  const auto at = [&ms](double q) { return ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * ms.size()))]; };
  const long over = static_cast<long>(std::count_if(ms.begin(), ms.end(), [](double v) { return v > kGoalMs; }));
  std::printf("| %s, COM port under Wine | %.1f s | %zu | %.1f | %.1f | %.1f | %ld |\n", name, runMs / 1000, ms.size(),
              at(0.5), at(0.9), ms.back(), over);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_stop_latency_windows MOMENTS FIRST\n");
    return 2;
  }
  const int moments = std::max(1, std::atoi(argv[1]));
  int com = std::atoi(argv[2]);
  TempDir dir;
  std::string error;
  if (!sample::writeDistribution(dir.path(), sample::Options{}, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  const std::vector<Case> cases = {
      {"Soft Break Capture", LoadMethod::SoftBreakCapture, SourceKind::ZipArchive, dir.path() + "\\named.zip"},
      {"Power On Capture, receiver off", LoadMethod::PowerOnCapture, SourceKind::ZipArchive, dir.path() + "\\named.zip"},
      {"File upload", LoadMethod::FileUpload, SourceKind::ImageFile, dir.path() + "\\named\\main.ldp"},
  };
  std::mt19937 random(20261208);
  std::printf("| method, link | whole run | moments | median ms | 90%% ms | max ms | over 300 ms |\n");
  std::printf("|---|---|---|---|---|---|---|\n");
  for (const Case& c : cases) {
    const bool off = c.method == LoadMethod::PowerOnCapture;
    const double runMs = off ? 0 : loadOnce(c, com, -1);
    std::uniform_real_distribution<double> moment(0, off ? kPowerOnSpreadMs : runMs);
    std::vector<double> at;
    for (int i = 0; i < moments; ++i) at.push_back(moment(random));
    row(c.name, off ? kPowerOnSpreadMs : runMs, measure(c, com + 1, at));
    com += moments + 1;
  }
  return 0;
}
