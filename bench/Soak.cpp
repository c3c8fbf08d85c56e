// A seeded soak of the whole program against the virtual receiver: every run loads a sample
// distribution headless ("/run /exit") with random faults on the receiver's side and, now and
// then, a stop signal at a random moment. Each run is classed:
//   success        exit 0 and every image the load must write is in the receiver byte-identical
//   clean failure  exit 1 (or 128 + the signal when one was sent), the activity log closed
//   false success  exit 0 without the images, or a flashed image that differs from its file
//   hang           no exit within the limit (the program is killed)
//   fault          anything else: a crash, an exit status scripts cannot rely on, a log left open
// False successes, hangs and faults fail the soak.
//   bench_soak VESTREL [--runs N] [--seed S] [--parallel P]
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "SampleFirmware.h"
#include "TempDir.h"
#include "VirtualReceiver.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kHangLimit = std::chrono::seconds(300);

enum class Verdict { Success, CleanFailure, FalseSuccess, Hang, Fault };
const char* verdictText(Verdict v) {
  switch (v) {
    case Verdict::Success: return "success";
    case Verdict::CleanFailure: return "clean failure";
    case Verdict::FalseSuccess: return "FALSE SUCCESS";
    case Verdict::Hang: return "HANG";
    default: return "FAULT";
  }
}

struct Plan {
  std::string what;        // the method, link and source, for the report
  std::string options;     // the program's options besides /port, /log, /exit and /run
  bool tcp = false;
  std::vector<std::string> mustWrite;  // names of the images the receiver must end up holding
  bool dataFile = false;
  ReceiverConfig config;
  std::string faults;      // what was injected, for the report
  int signal = 0;          // sent after signalAfterMs, or none
  int signalAfterMs = 0;
};

Plan makePlan(std::mt19937& r, const std::string& dist) {
  Plan p;
  const int method = std::uniform_int_distribution<int>(0, 4)(r);
  switch (method) {
    case 0:
      p.what = "soft, serial, named.zip";
      p.options = "/source " + dist + "/named.zip /capture soft";
      p.mustWrite = {"boot.ldp", "main.ldp"};
      break;
    case 1:
      p.what = "soft, serial, main.ldp";
      p.options = "/source " + dist + "/named/main.ldp /capture soft";
      p.mustWrite = {"main.ldp"};
      break;
    case 2:
      p.what = "file upload, serial, main.ldp";
      p.options = "/source " + dist + "/named/main.ldp /capture fldp";
      p.mustWrite = {"main.ldp"};
      break;
    case 3:
      p.what = "file upload, TCP, main.ldp";
      p.options = "/source " + dist + "/named/main.ldp /capture fldp";
      p.tcp = true;
      p.mustWrite = {"main.ldp"};
      break;
    default:
      p.what = "data file, serial";
      p.options = "/source " + dist + "/data/settings.cfg /capture data";
      p.dataFile = true;
      break;
  }
  ReceiverFaults& f = p.config.faults;
  std::uniform_int_distribution<int> pick(0, 8);
  std::ostringstream said;
  switch (pick(r)) {
    case 0: said << "none"; break;
    case 1:
      f.dropLinkAfterFrames = std::uniform_int_distribution<int>(0, 60)(r);
      said << "link dropped after " << f.dropLinkAfterFrames << " frames";
      break;
    case 2:
      f.dtpNakFrames = std::uniform_int_distribution<int>(1, 4)(r);
      said << "NAK for " << f.dtpNakFrames << " frames";
      break;
    case 3:
      f.dtpCorruptFrames = std::uniform_int_distribution<int>(1, 3)(r);
      said << f.dtpCorruptFrames << " corrupted frames";
      break;
    case 4: f.silent = true; said << "silent receiver"; break;
    case 5: f.silentBootLoader = true; said << "silent boot loader"; break;
    case 6: p.config.pace = true; said << "slow (paced) line"; break;
    case 7: p.config.rebootMs = 25000; said << "restarts late (25 s)"; break;
    default:
      f.sizeShortBy = 1;
      said << "reports a short file size";
      break;
  }
  if (std::uniform_int_distribution<int>(0, 3)(r) == 0) {
    static const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    p.signal = kSignals[std::uniform_int_distribution<int>(0, 2)(r)];
    p.signalAfterMs = std::uniform_int_distribution<int>(0, 40000)(r);
    said << ", signal " << p.signal << " after " << p.signalAfterMs << " ms";
  }
  p.faults = said.str();
  return p;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Outcome {
  Verdict verdict;
  int status;
  double seconds;
  std::string why;
};

bool holds(const VirtualReceiver& rx, const std::vector<uint8_t>& bytes) {
  for (const FlashedImage& f : rx.flashed())
    if (f.how != "ram" && f.bytes == bytes) return true;
  return false;
}

Outcome runOnce(const std::string& vestrel, const std::string& dist, const Plan& p, const std::string& workDir) {
  VirtualReceiver rx(p.config);
  std::string error;
  if (!rx.startPty(error) || (p.tcp && !rx.startTcp(0, error))) return {Verdict::Fault, -1, 0, "receiver: " + error};
  rx.run();
  const std::string port =
      p.tcp ? "tcp:127.0.0.1:" + std::to_string(rx.tcpPort()) + ":vestrel" : rx.ptyPath();
  const std::string log = workDir + "/activity.log";
  const std::string command = "exec " + vestrel + " /port " + port + " " + p.options + " /log " + log +
                              " /exit /run >" + workDir + "/output.txt 2>&1";
  const auto start = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv("QT_QPA_PLATFORM", "vestrel-none", 1);
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  bool signalled = false;
  int raw = 0;
  for (;;) {
    if (::waitpid(pid, &raw, WNOHANG) == pid) break;
    const auto elapsed = Clock::now() - start;
    if (p.signal && !signalled && elapsed >= std::chrono::milliseconds(p.signalAfterMs)) {
      ::kill(pid, p.signal);
      signalled = true;
    }
    if (elapsed > kHangLimit) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &raw, 0);
      rx.stop();
      return {Verdict::Hang, -1, std::chrono::duration<double>(Clock::now() - start).count(), "killed after 300 s"};
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // a last command still on its way
  rx.stop();
  if (!WIFEXITED(raw)) return {Verdict::Fault, -1, seconds, "killed by signal " + std::to_string(WTERMSIG(raw))};
  const int status = WEXITSTATUS(raw);
  const std::string text = readFile(log);
  if (text.find("Log file closed ") == std::string::npos) return {Verdict::Fault, status, seconds, "activity log not closed"};
  // Whatever the receiver wrote to flash must be an image of the distribution, byte for byte.
  for (const FlashedImage& f : rx.flashed()) {
    bool known = f.how == "ram";
    for (const char* name : {"boot.ldp", "rfbrd.ldr", "powbrd.ldr", "main.ldp"}) {
      const std::string bytes = readFile(dist + "/named/" + name);
      known = known || std::vector<uint8_t>(bytes.begin(), bytes.end()) == f.bytes;
    }
    if (!known) return {status == 0 ? Verdict::FalseSuccess : Verdict::Fault, status, seconds, "a damaged image was flashed"};
  }
  if (status == 0) {
    std::string missing;
    if (p.dataFile) {
      bool found = false;
      const std::string want = readFile(dist + "/data/settings.cfg");
      for (const auto& [name, bytes] : rx.files()) found = found || std::string(bytes.begin(), bytes.end()) == want;
      if (!found) missing = "settings.cfg";
    }
    for (const std::string& name : p.mustWrite) {
      const std::string bytes = readFile(dist + "/named/" + name);
      if (!holds(rx, std::vector<uint8_t>(bytes.begin(), bytes.end()))) missing += (missing.empty() ? "" : ", ") + name;
    }
    if (!missing.empty()) return {Verdict::FalseSuccess, status, seconds, "exit 0 but not written: " + missing};
    return {Verdict::Success, status, seconds, ""};
  }
  const bool expectedSignal = signalled && status == 128 + p.signal;
  if (status == 1 || expectedSignal) return {Verdict::CleanFailure, status, seconds, ""};
  return {Verdict::Fault, status, seconds, "exit status " + std::to_string(status)};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_soak VESTREL [--runs N] [--seed S] [--parallel P]\n");
    return 2;
  }
  const std::string vestrel = argv[1];
  int runs = 20, parallel = 4;
  unsigned seed = static_cast<unsigned>(std::random_device{}());
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--runs") runs = std::atoi(argv[i + 1]);
    else if (a == "--seed") seed = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 10));
    else if (a == "--parallel") parallel = std::max(1, std::atoi(argv[i + 1]));
  }
  std::printf("soak: seed %u, %d runs, %d at a time\n", seed, runs, parallel);
  std::fflush(stdout);
  TempDir dir;
  std::string error;
  if (!sample::writeDistribution(dir.path() + "/dist", sample::Options{}, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  std::mt19937 random(seed);
  std::vector<Plan> plans;
  for (int i = 0; i < runs; ++i) plans.push_back(makePlan(random, dir.path() + "/dist"));

  std::mutex printing;
  std::atomic<int> next{0}, passed{0}, failed{0};
  int counts[5] = {};
  std::vector<std::thread> workers;
  for (int w = 0; w < parallel; ++w)
    workers.emplace_back([&] {
      for (int i = next++; i < runs; i = next++) {
        const std::string work = dir.path() + "/run" + std::to_string(i);
        ::mkdir(work.c_str(), 0700);
        const Outcome o = runOnce(vestrel, dir.path() + "/dist", plans[i], work);
        const bool good = o.verdict == Verdict::Success || o.verdict == Verdict::CleanFailure;
        (good ? passed : failed)++;
        std::lock_guard<std::mutex> lock(printing);
        ++counts[static_cast<int>(o.verdict)];
        std::printf("run %3d  %-30s %-55s -> %-13s exit %3d  %6.1f s  %s\n", i, plans[i].what.c_str(),
                    plans[i].faults.c_str(), verdictText(o.verdict), o.status, o.seconds, o.why.c_str());
        if (!good) std::printf("         output:\n%s\n", readFile(work + "/output.txt").c_str());
        std::fflush(stdout);
      }
    });
  for (std::thread& t : workers) t.join();
  std::printf("soak: seed %u: %d successes, %d clean failures, %d false successes, %d hangs, %d faults\n", seed,
              counts[0], counts[1], counts[2], counts[3], counts[4]);
  std::printf("%d passed, %d failed\n", passed.load(), failed.load());
  return failed == 0 ? 0 : 1;
}
