// Reading a 64 MiB image from a ZIP archive and from a folder, against zlib's own inflate speed.
// Reports MiB/s and the peak resident memory of the process.
#include <benchmark/benchmark.h>
#include <minizip/unzip.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "FirmwareImage.h"
#include "PeakMemory.h"
#include "SampleFirmware.h"

namespace {

constexpr std::size_t kImageBytes = 64u << 20;

struct Fixture {
  // The files are written by a child process so that the peak memory measured is the reading's.
  Fixture() {
    dir = (std::filesystem::temp_directory_path() / "vestrel-bench-images").string();
    std::filesystem::create_directories(dir);
    const pid_t child = fork();
    if (child == 0) {
      const std::vector<uint8_t> image = sample::flashImage(kImageBytes, 20, 99);
      std::string error;
      const bool ok = sample::writeFile(dir + "/main.ldp", image, error) &&
                      sample::writeZip(dir + "/fw.zip", {{"main.ldp", image}}, error);
      _exit(ok ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
  }
  ~Fixture() { std::filesystem::remove_all(dir); }
  std::string dir;
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void FromArchive(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    FirmwareImage image(f.dir + "/fw.zip", "main.ldp", SourceKind::ZipArchive);
    if (image.size() != kImageBytes) state.SkipWithError("image not read");
    benchmark::DoNotOptimize(image.data().data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kImageBytes));
  state.counters["peak_MiB"] = static_cast<double>(peakResidentMiB());
}

void FromFolder(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    FirmwareImage image(f.dir + "/", "main.ldp", SourceKind::Folder);
    if (image.size() != kImageBytes) state.SkipWithError("image not read");
    benchmark::DoNotOptimize(image.data().data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kImageBytes));
  state.counters["peak_MiB"] = static_cast<double>(peakResidentMiB());
}

// The floor: minizip inflating the same entry (it checks the CRC-32 as it goes) into a fresh
// buffer of the entry's size, with nothing of ours around it.
void InflateOnly(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    std::vector<uint8_t> buffer(kImageBytes);
    unzFile zip = unzOpen64((f.dir + "/fw.zip").c_str());
    unzLocateFile(zip, "main.ldp", 0);
    unzOpenCurrentFile(zip);
    std::size_t got = 0;
    int n = 0;
    while ((n = unzReadCurrentFile(zip, buffer.data() + got, 1u << 20)) > 0) got += static_cast<std::size_t>(n);
    unzCloseCurrentFile(zip);
    unzClose(zip);
    benchmark::DoNotOptimize(got);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kImageBytes));
}

}  // namespace

BENCHMARK(InflateOnly)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(FromArchive)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(FromFolder)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_MAIN();
