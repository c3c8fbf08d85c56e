// The line's live view under load: stations publishing their runs' progress at once, each through
// the station's own LivePublisher (its thread, its connection, at most a write a second), while
// this program reads the Now page's event stream from vestrel-line and measures how far behind the
// stations' state the page is: from the moment a station published a state to the moment the page
// received it. It also reads vestrel-line's CPU time and memory from /proc.
//
//   bench_line_live --history-db URL --line HOST:PORT --cookie SESSION --pid PID
//                   [--stations 32] [--seconds 20]
//
// Exit 0 when every station's runs reached the page and the page was never more than 2 s behind.
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "JsonEvents.h"
#include "LivePublisher.h"

namespace {

constexpr int64_t kGoalMs = 2000;        // the page is at most this far behind a station
constexpr int kPublishEveryMs = 100;     // how often a station's progress changes

int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

struct Options {
  std::string url, line, cookie;
  int pid = 0, stations = 32, seconds = 20;
};

// The process's CPU time in clock ticks and its resident memory now and at its peak, in KiB.
struct ProcessUse {
  long long ticks = 0;
  long long rssKib = 0, peakKib = 0;
};

ProcessUse useOf(int pid) {
  ProcessUse use;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), {});
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  for (int i = 3; i <= 15 && fields >> field; ++i)
    if (i == 14 || i == 15) use.ticks += std::stoll(field);
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) use.rssKib = std::stoll(line.substr(6));
    if (line.rfind("VmHWM:", 0) == 0) use.peakKib = std::stoll(line.substr(6));
  }
  return use;
}

class Stream {
 public:
  void take(const std::string& json) {
    const auto run = jsonevents::Json::parse(json, nullptr, false);
    if (!run.is_object()) return;
    const std::string sent = jsonevents::text(run, "image");
    if (sent.empty()) return;
    const int64_t behind = nowMs() - std::stoll(sent);
    std::lock_guard lock(mutex_);
    latencies_.push_back(behind);
    stations_.insert(jsonevents::text(run, "station"));
    if (!jsonevents::text(run, "outcome").empty()) ended_.insert(jsonevents::text(run, "id"));
  }
  std::vector<int64_t> latencies() {
    std::lock_guard lock(mutex_);
    return latencies_;
  }
  std::size_t stations() {
    std::lock_guard lock(mutex_);
    return stations_.size();
  }
  std::size_t ended() {
    std::lock_guard lock(mutex_);
    return ended_.size();
  }

 private:
  std::mutex mutex_;
  std::vector<int64_t> latencies_;
  std::set<std::string> stations_, ended_;
};

void readStream(const Options& options, Stream& stream, std::atomic<bool>& quit) {
  const std::size_t colon = options.line.rfind(':');
  httplib::Client client(options.line.substr(0, colon), std::stoi(options.line.substr(colon + 1)));
  client.set_read_timeout(std::chrono::seconds(3));
  std::string pending;
  client.Get("/api/live/stream", {{"Cookie", "vl_session=" + options.cookie}}, [&](const char* data, std::size_t size) {
    pending.append(data, size);
    for (std::size_t end; (end = pending.find("\n\n")) != std::string::npos;) {
      const std::string message = pending.substr(0, end);
      pending.erase(0, end + 2);
      const std::size_t at = message.find("data: ");
      if (message.rfind("event: run", 0) == 0 && at != std::string::npos) stream.take(message.substr(at + 6));
    }
    return !quit;
  });
}

void station(int number, const Options& options, std::atomic<int>& live) {
  LivePublisher publisher(options.url);
  LiveState state;
  state.id = "bench-" + std::to_string(number) + "-" + std::to_string(nowMs());
  state.station = "bench-station-" + std::to_string(number);
  state.stage = "flashing";
  state.imageCount = 1;
  state.imageIndex = 1;
  const int64_t end = nowMs() + options.seconds * 1000LL;
  ++live;
  for (int64_t at = nowMs(); at < end; at = nowMs()) {
    state.percent = static_cast<int>(99 * (options.seconds * 1000LL - (end - at)) / (options.seconds * 1000LL));
    state.image = std::to_string(at);
    publisher.publish(state, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(kPublishEveryMs));
  }
  state.outcome = "confirmed";
  state.percent = 100;
  state.image = std::to_string(nowMs());
  publisher.end(state);
}

bool parse(int argc, char** argv, Options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i], value = argv[i + 1];
    if (key == "--history-db") options.url = value;
    else if (key == "--line") options.line = value;
    else if (key == "--cookie") options.cookie = value;
    else if (key == "--pid") options.pid = std::stoi(value);
    else if (key == "--stations") options.stations = std::stoi(value);
    else if (key == "--seconds") options.seconds = std::stoi(value);
    else return false;
  }
  return !options.url.empty() && !options.line.empty() && !options.cookie.empty() && options.pid > 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parse(argc, argv, options)) {
    std::cerr << "usage: bench_line_live --history-db URL --line HOST:PORT --cookie SESSION --pid PID "
                 "[--stations N] [--seconds S]\n";
    return 2;
  }
  Stream stream;
  std::atomic<bool> quit{false};
  std::thread reader([&] { readStream(options, stream, quit); });
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const ProcessUse before = useOf(options.pid);
  const auto start = std::chrono::steady_clock::now();
  std::atomic<int> live{0};
  std::vector<std::thread> stations;
  for (int i = 0; i < options.stations; ++i) stations.emplace_back(station, i, std::cref(options), std::ref(live));
  for (std::thread& t : stations) t.join();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const ProcessUse after = useOf(options.pid);
  for (int waited = 0; waited < 50 && stream.ended() < static_cast<std::size_t>(options.stations); ++waited)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  quit = true;
  reader.join();

  std::vector<int64_t> latencies = stream.latencies();
  std::sort(latencies.begin(), latencies.end());
  auto percentile = [&](double p) {
    return latencies.empty() ? -1 : latencies[static_cast<std::size_t>(p * static_cast<double>(latencies.size() - 1))];
  };
  const double cpu = 100.0 * static_cast<double>(after.ticks - before.ticks) / static_cast<double>(sysconf(_SC_CLK_TCK)) / seconds;
  std::printf("stations %d for %.1f s: %zu updates on the page (%.1f a second), %zu stations seen, %zu runs ended\n",
              options.stations, seconds, latencies.size(), static_cast<double>(latencies.size()) / seconds,
              stream.stations(), stream.ended());
  std::printf("page behind the stations: median %lld ms, 99th percentile %lld ms, most %lld ms (goal %lld ms)\n",
              static_cast<long long>(percentile(0.5)), static_cast<long long>(percentile(0.99)),
              static_cast<long long>(percentile(1.0)), static_cast<long long>(kGoalMs));
  std::printf("vestrel-line: CPU %.1f %% of one core, memory %lld KiB resident (peak %lld KiB)\n", cpu, after.rssKib,
              after.peakKib);
  const bool ok = stream.stations() == static_cast<std::size_t>(options.stations) &&
                  stream.ended() == static_cast<std::size_t>(options.stations) && percentile(1.0) <= kGoalMs;
  std::printf("%s\n", ok ? "goal met" : "GOAL MISSED");
  return ok ? 0 : 1;
}
