// End-to-end transfer throughput into the virtual receiver.
//   bench_transfer boot RATE        - boot-loader path ("Soft Break Capture") on a line paced at RATE
//   bench_transfer upload-tcp KIB   - file upload of KIB KiB over TCP loopback
//   bench_transfer upload-pty KIB RATE - file upload of KIB KiB over a pty paced at RATE
// Prints payload bytes per second, the efficiency against the line limit (rate / 10 bytes per
// second) and the floor that the protocol's frames and reply waits allow.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "EngineHarness.h"
#include "SampleFirmware.h"
#include "TempDir.h"
#include "LinkTiming.h"
#include "VirtualReceiver.h"

namespace {

// After each frame the sender reads the one-byte reply and then waits for the line to stay quiet
// for a few character times before it judges the reply.
constexpr int kReplyCharacters = 1 + CMNC::timing::kReplyGapCharacters;

struct Outcome {
  std::string result;
  double seconds = 0;
  std::size_t payload = 0;
};

Outcome run(VirtualReceiver& rx, const PortEntry& entry, LoadMethod method, SourceKind kind, const std::string& source,
            int speed, int blockSize) {
  EngineHarness h;
  h.blockSizeChoice = blockSize;
  const auto start = std::chrono::steady_clock::now();
  Outcome o;
  if (h.start(entry, method, kind, source, speed)) {
    o.result = h.events.waitOutcome(std::chrono::hours(2));
    h.stop();
  } else {
    o.result = "not started";
  }
  o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  for (const auto& f : rx.flashed()) o.payload += f.bytes.size();
  for (const auto& [name, bytes] : rx.files()) o.payload += bytes.size();
  return o;
}

void report(const char* what, const Outcome& o, int rate, int blockSize, double fixedSeconds) {
  const double line = rate > 0 ? rate / 10.0 : 0;
  const double transferSeconds = o.seconds - fixedSeconds;
  const double bps = o.payload / transferSeconds;
  std::printf("%-28s %-9s payload %9zu B in %7.2f s (%.2f s fixed waits): %10.0f B/s", what, o.result.c_str(), o.payload,
              o.seconds, fixedSeconds, bps);
  if (line > 0) {
    const double frameSeconds = (blockSize + 6 + 1 + kReplyCharacters) / line;
    const double floor = blockSize / frameSeconds;
    std::printf(", line %.0f B/s, efficiency %.1f%%, protocol floor %.0f B/s (%.1f%% of it)", line, 100 * bps / line,
                floor, 100 * bps / floor);
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "boot";
  TempDir dir;
  std::string error;
  sample::Options options;
  if (mode == "boot") options.mainSize = 512 * 1024;
  if (!sample::writeDistribution(dir.path(), options, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (mode == "boot") {
    const int rate = argc > 2 ? std::atoi(argv[2]) : 115200;
    ReceiverConfig config;
    config.pace = true;
    config.bootWindowMs = 1500;
    VirtualReceiver rx(config);
    rx.startPty(error);
    rx.run();
    const Outcome o = run(rx, {rx.ptyPath(), "", rx.ptyPath(), ConnectionKind::Serial}, LoadMethod::SoftBreakCapture,
                          SourceKind::ImageFile, dir.path() + "/named/main.ldp", rate, 512);
    // Fixed: the reset pause, the boot window after the flash and the reboot wait's first polls.
    report(("boot-loader @" + std::to_string(rate)).c_str(), o, rate, 2048, 0.3 + 1.5 + 1.1);
    rx.stop();
    return o.result == "succeeded" ? 0 : 1;
  }
  const std::size_t kib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 16384;
  const std::vector<uint8_t> data = sample::flashImage(kib << 10, 20, 7);
  sample::writeFile(dir.path() + "/data/big.bin", data, error);
  ReceiverConfig config;
  const bool tcp = mode == "upload-tcp";
  const int rate = !tcp && argc > 3 ? std::atoi(argv[3]) : 0;
  config.pace = rate > 0;
  config.rate = rate > 0 ? rate : 115200;
  VirtualReceiver rx(config);
  rx.startPty(error);
  if (tcp) rx.startTcp(0, error);
  rx.run();
  const PortEntry entry = tcp ? PortEntry{"TCP", "", "127.0.0.1:" + std::to_string(rx.tcpPort()) + ":vestrel", ConnectionKind::Tcpip}
                              : PortEntry{rx.ptyPath(), "", rx.ptyPath(), ConnectionKind::Serial};
  for (int block : tcp ? std::vector<int>{2048, 8192, 16384} : std::vector<int>{2048}) {
    VirtualReceiver* r = &rx;
    const Outcome o = run(*r, entry, LoadMethod::FileUpload, SourceKind::DataFile, dir.path() + "/data/big.bin", config.rate, block);
    // Fixed: the file-system waits before the put, the pause after it and the size query.
    report((std::string(tcp ? "upload tcp" : "upload pty") + " block " + std::to_string(block)).c_str(), o, rate, block,
           tcp ? 3.0 : 2.2);
  }
  rx.stop();
  return 0;
}
