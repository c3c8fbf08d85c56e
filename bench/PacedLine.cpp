// bench_paced_line: a serial line between two programs that carries exactly rate / 10 bytes a
// second in each direction (start bit, eight data bits, stop bit), with a 4 KiB transmit buffer
// on each side as a real port has.
//
//   bench_paced_line --rate N --near-path FILE (--far DEVICE | --far-pty-path FILE) [--log FILE]
//                    [--latency-ms N]
//
// The near side is a pseudo-terminal of its own; its path is written to the near-path file. The
// far side is either an existing terminal device (the virtual receiver's) or a second
// pseudo-terminal whose path goes to the far-pty-path file. The line speed set on the near side
// is passed on to the far one, so a receiver that checks its line speed sees the loader's. The
// log gets one line per stretch of near-to-far traffic ("stretch START END BYTES", seconds from
// the start): a stretch ends when the line was idle for 250 ms, so one block transfer is one
// stretch however long its replies take. With --latency-ms the line ends in a USB-serial bridge on
// the loader's side: bytes from the receiver wait in the bridge until the next tick of its latency
// timer (every N ms) unless a packet's worth (62 bytes) is waiting, as such bridges pass received
// bytes to the host. Runs until SIGINT or SIGTERM.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <string>

#include "LineSpeeds.h"

namespace {

constexpr std::size_t kTransmitBufferBytes = 4096;
constexpr int64_t kStretchIdleUs = 250000;
constexpr int64_t kSpeedCheckUs = 20000;
constexpr int64_t kIdleWaitUs = 100000;
constexpr int kBitsPerCharacter = 10;
constexpr std::size_t kBridgePacketBytes = 62;  // a full packet from the bridge (64 less 2 status bytes)

volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int) { stopRequested = 1; }

int64_t nowUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void makeRaw(int fd, int rate) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return;
  ::cfmakeraw(&tio);
  const speed_t speed = CMNC::SpeedConstantFor(rate);
  if (speed != B0) {
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
  }
  ::tcsetattr(fd, TCSANOW, &tio);
}

// A pseudo-terminal whose slave stays open here, so the line lives while programs come and go.
struct Pty {
  int master = -1, slave = -1;
  std::string path;
  bool open(int rate) {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return false;
    char name[128] = {};
    if (::ptsname_r(master, name, sizeof name) != 0) return false;
    path = name;
    slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) return false;
    makeRaw(slave, rate);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    return true;
  }
};

// One direction of the line: bytes taken from `from` go onto the wire one after the other and
// are handed to `to` when their last bit has arrived.
struct Direction {
  int from = -1, to = -1;
  struct Byte {
    uint8_t value;
    int64_t arrivesUs;
  };
  std::deque<Byte> wire;  // the transmit buffer, oldest first
  int64_t lineFreeUs = 0;
  int64_t latencyUs = 0;   // a bridge's latency timer on the delivering side; 0 none
  int64_t originUs = 0;    // when its timer started ticking

  // The bridge's next tick at or after t.
  int64_t tickAfter(int64_t t) const {
    if (latencyUs <= 0) return t;
    const int64_t since = t - originUs;
    return originUs + (since + latencyUs - 1) / latencyUs * latencyUs;
  }

  void take(int64_t now, int64_t characterUs) {
    uint8_t buffer[kTransmitBufferBytes];
    const std::size_t room = kTransmitBufferBytes - wire.size();
    if (room == 0) return;
    const ssize_t n = ::read(from, buffer, room);
    for (ssize_t i = 0; i < n; ++i) {
      lineFreeUs = std::max(lineFreeUs, now) + characterUs;
      wire.push_back({buffer[i], lineFreeUs});
    }
  }

  // Hands over what has arrived; returns the count.
  std::size_t deliver(int64_t now) {
    uint8_t buffer[kTransmitBufferBytes];
    std::size_t n = 0;
    while (n < wire.size() && wire[n].arrivesUs <= now) {
      buffer[n] = wire[n].value;
      ++n;
    }
    if (n == 0) return 0;
    if (latencyUs > 0 && n < kBridgePacketBytes && now < tickAfter(wire.front().arrivesUs)) return 0;  // held
    const ssize_t written = ::write(to, buffer, n);
    if (written <= 0) return 0;  // the far end's input is full: try again later
    wire.erase(wire.begin(), wire.begin() + written);
    return static_cast<std::size_t>(written);
  }

  // When there is next something to hand over.
  int64_t nextArrivalUs() const {
    if (wire.empty()) return INT64_MAX;
    if (latencyUs <= 0) return wire.front().arrivesUs;
    int64_t release = tickAfter(wire.front().arrivesUs);
    if (wire.size() >= kBridgePacketBytes) release = std::min(release, wire[kBridgePacketBytes - 1].arrivesUs);
    return release;
  }
};

// Stretches of traffic in one direction, for the log.
struct StretchLog {
  std::ofstream out;
  int64_t originUs = 0, startUs = -1, lastUs = -1;
  uint64_t bytes = 0;

  void add(int64_t now, std::size_t n) {
    if (n == 0) return;
    if (startUs >= 0 && now - lastUs > kStretchIdleUs) close();
    if (startUs < 0) startUs = now;
    lastUs = now;
    bytes += n;
  }
  void close() {
    if (startUs < 0) return;
    if (out) {
      char line[128];
      std::snprintf(line, sizeof line, "stretch %.6f %.6f %llu\n", (startUs - originUs) / 1e6, (lastUs - originUs) / 1e6,
                    static_cast<unsigned long long>(bytes));
      out << line << std::flush;
    }
    startUs = lastUs = -1;
    bytes = 0;
  }
};

std::string argument(int argc, char** argv, const std::string& name) {
  for (int i = 1; i + 1 < argc; ++i)
    if (name == argv[i]) return argv[i + 1];
  return {};
}

bool writePath(const std::string& file, const std::string& path) {
  const std::string partial = file + ".partial";
  std::ofstream(partial) << path << "\n";
  return std::rename(partial.c_str(), file.c_str()) == 0;
}

int speedOf(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return 0;
  return CMNC::RateOfSpeedConstant(::cfgetospeed(&tio));
}

}  // namespace

int main(int argc, char** argv) {
  const int rate = std::atoi(argument(argc, argv, "--rate").c_str());
  const std::string nearFile = argument(argc, argv, "--near-path");
  const std::string farDevice = argument(argc, argv, "--far");
  const std::string farFile = argument(argc, argv, "--far-pty-path");
  if (rate <= 0 || nearFile.empty() || farDevice.empty() == farFile.empty()) {
    std::fprintf(stderr, "usage: bench_paced_line --rate N --near-path FILE (--far DEVICE | --far-pty-path FILE) [--log FILE]"
                         " [--latency-ms N]\n");
    return 2;
  }
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  std::signal(SIGPIPE, SIG_IGN);

  Pty nearPty, farPty;
  if (!nearPty.open(rate)) {
    std::perror("near pseudo-terminal");
    return 1;
  }
  int farFd = -1;
  if (!farDevice.empty()) {
    farFd = ::open(farDevice.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (farFd < 0) {
      std::perror(farDevice.c_str());
      return 1;
    }
    makeRaw(farFd, rate);
  } else {
    if (!farPty.open(rate)) {
      std::perror("far pseudo-terminal");
      return 1;
    }
    farFd = farPty.master;
    writePath(farFile, farPty.path);
  }
  writePath(nearFile, nearPty.path);

  const int64_t characterUs = (static_cast<int64_t>(kBitsPerCharacter) * 1000000 + rate - 1) / rate;
  Direction out, back;
  out.from = back.to = nearPty.master;
  out.to = back.from = farFd;
  back.latencyUs = std::atoi(argument(argc, argv, "--latency-ms").c_str()) * 1000LL;
  back.originUs = nowUs();
  StretchLog log;
  log.originUs = nowUs();
  const std::string logFile = argument(argc, argv, "--log");
  if (!logFile.empty()) log.out.open(logFile);
  int nearSpeed = speedOf(nearPty.slave);
  int64_t speedCheckedUs = 0;

  while (!stopRequested) {
    int64_t now = nowUs();
    const int64_t next = std::min(out.nextArrivalUs(), back.nextArrivalUs());
    const int64_t waitUs = std::clamp<int64_t>(next == INT64_MAX ? kIdleWaitUs : next - now, 0, kIdleWaitUs);
    pollfd fds[2] = {{out.from, static_cast<short>(out.wire.size() < kTransmitBufferBytes ? POLLIN : 0), 0},
                     {back.from, static_cast<short>(back.wire.size() < kTransmitBufferBytes ? POLLIN : 0), 0}};
    const timespec limit{static_cast<time_t>(waitUs / 1000000), static_cast<long>(waitUs % 1000000) * 1000};
    ::ppoll(fds, 2, &limit, nullptr);
    now = nowUs();
    if (fds[0].revents & POLLIN) out.take(now, characterUs);
    if (fds[1].revents & POLLIN) back.take(now, characterUs);
    log.add(now, out.deliver(now));
    back.deliver(now);
    if (now - speedCheckedUs > kSpeedCheckUs) {
      speedCheckedUs = now;
      const int speed = speedOf(nearPty.slave);
      if (speed != nearSpeed && speed > 0 && !farDevice.empty()) makeRaw(farFd, speed);  // the receiver sees it
      nearSpeed = speed;
    }
    // A side whose program is gone reads as hung up: wait for the next one without spinning.
    if ((fds[0].revents | fds[1].revents) & POLLHUP) {
      const timespec pause{0, 10 * 1000 * 1000};
      ::nanosleep(&pause, nullptr);
    }
  }
  log.close();
  return 0;
}
