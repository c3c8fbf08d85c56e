// What the load history and the digests add to a run: a run's whole history work (open the
// history, sweep rows of gone processes, begin the row, complete it with two images) on a history
// of 10,000 earlier runs; the digest of a 64 MiB source file against reading it alone, and of a
// 64 MiB image already in memory; an archive bomb (entries declaring 256 MiB each) refused, with
// the peak resident memory of the process.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FirmwareImageSet.h"
#include "HistoryClock.h"
#include "LoadHistory.h"
#include "PeakMemory.h"
#include "SampleFirmware.h"
#include "Sha256.h"
#include "Station.h"

namespace {

constexpr std::size_t kSourceBytes = 64u << 20;
constexpr int kEarlierRuns = 10000;

LoadRecord runRow(int n) {
  LoadRecord row;
  row.id = station::newUuid();
  row.startedAt = historyclock::isoUtcNow();
  row.station = station::name();
  row.pid = station::processId();
  row.port = "/dev/ttyUSB" + std::to_string(n % 8);
  row.link = "serial";
  row.method = "soft";
  row.commandLine = "vestrel /port /dev/ttyUSB0 /source fw.zip /capture soft /exit /run";
  return row;
}

void finishRow(LoadRecord& row) {
  row.finishedAt = historyclock::isoUtcNow();
  row.outcome = "confirmed";
  row.stage = "done";
  row.exitStatus = 0;
  row.images = {{"ramimage.ldr", "RAM loader", 6144, std::string(64, 'a'), "flashed"},
                {"main.ldp", "Main firmware", 196608, std::string(64, 'b'), "flashed"}};
}

// Written by a child process, so that the peak memory measured is the bench's own.
struct Fixture {
  Fixture() {
    dir = (std::filesystem::temp_directory_path() / "vestrel-bench-history").string();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const pid_t child = fork();
    if (child == 0) {
      std::string error;
      bool ok = sample::writeFile(dir + "/source.zip", sample::flashImage(kSourceBytes, 20, 7), error);
      std::vector<sample::Entry> bomb;
      for (int i = 0; i < 3; ++i) bomb.push_back({"part" + std::to_string(i) + ".ldp", std::vector<uint8_t>(256u << 20)});
      ok = ok && sample::writeZip(dir + "/bomb.zip", bomb, error);
      auto history = LoadHistory::open(dir + "/history.sqlite3", error);
      for (int n = 0; ok && history && n < kEarlierRuns; ++n) {
        LoadRecord row = runRow(n);
        finishRow(row);
        ok = history->finish(row, error);
      }
      _exit(ok && history ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ready = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  ~Fixture() { std::filesystem::remove_all(dir); }
  std::string dir;
  bool ready = false;
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void HistoryOfOneRun(benchmark::State& state) {
  Fixture& f = fixture();
  int n = 0;
  for (auto _ : state) {
    std::string error;
    auto history = LoadHistory::open(f.dir + "/history.sqlite3", error);
    if (!f.ready || !history) {
      state.SkipWithError("no history");
      break;
    }
    history->markInterrupted(station::name(), station::processRunning);
    LoadRecord row = runRow(++n);
    history->begin(row, error);
    finishRow(row);
    if (!history->finish(row, error)) state.SkipWithError(error.c_str());
  }
}

void ReadSourceOnly(benchmark::State& state) {
  Fixture& f = fixture();
  std::vector<char> piece(1 << 20);
  for (auto _ : state) {
    std::ifstream file(f.dir + "/source.zip", std::ios::binary);
    std::size_t got = 0;
    while (file.read(piece.data(), static_cast<std::streamsize>(piece.size())) || file.gcount() > 0)
      got += static_cast<std::size_t>(file.gcount());
    if (got != kSourceBytes) state.SkipWithError("the source was not read whole");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSourceBytes));
}

void DigestSourceFile(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    std::string error;
    benchmark::DoNotOptimize(Sha256::ofFile(f.dir + "/source.zip", error));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSourceBytes));
}

void DigestImageInMemory(benchmark::State& state) {
  const std::vector<uint8_t> image(kSourceBytes, 0x5A);
  for (auto _ : state) benchmark::DoNotOptimize(Sha256::of(image.data(), image.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSourceBytes));
}

void ArchiveBombRefused(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    FirmwareImageSet set;
    const std::string error = set.scanSource(f.dir + "/bomb.zip", SourceKind::ZipArchive, true);
    if (error.empty()) state.SkipWithError("the bomb was not refused");
  }
  state.counters["peak_MiB"] = static_cast<double>(peakResidentMiB());
}

}  // namespace

BENCHMARK(ArchiveBombRefused)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(HistoryOfOneRun)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(ReadSourceOnly)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(DigestSourceFile)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(DigestImageInMemory)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_MAIN();
