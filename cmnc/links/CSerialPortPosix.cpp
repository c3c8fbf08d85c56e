// The serial link on Linux: a tty device in raw mode, waits by poll with the abort latch.
#include "CSerialPort.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "AbortSignal.h"
#include "BridgeLatch.h"
#include "Clock.h"
#include "LineSpeeds.h"
#include "SystemError.h"
#include "LinkTiming.h"

namespace CMNC {
namespace {

std::string OpenErrorText(int err, const std::string& path) {
  std::string text = SystemMessage(err);
  if (err == EACCES)
    text += ". Add your user to the dialout group (sudo usermod -aG dialout $USER) and log in again.";
  else if (err == EBUSY || err == EWOULDBLOCK)
    text = "The port " + path + " is in use by another program.";
  else if (err == ENOENT)
    text += ". Check the port name and that the device is plugged in.";
  return text;
}

}  // namespace

struct CSerialPort::Private {
  int gather(uint8_t* buffer, int size, int64_t totalUs, int64_t gapUs, bool poll);
  void askLowLatency();
  void restoreLatency();

  int fd = -1;
  // The driver's flags before the port asked for low latency; restored at close.
  bool lowLatencySet = false;
  int savedSerialFlags = 0;
  int64_t lineFreeAtMs = 0;  // when the bytes written so far have left at the line rate
  AbortSignal abort;
};

CSerialPort::CSerialPort() : d_(std::make_unique<Private>()) {}

CSerialPort::~CSerialPort() { Close(); }

bool CSerialPort::IsOpen() const { return d_->fd >= 0; }

std::string CSerialPort::ResolveDevicePath(const std::string& name) {
  if (name.size() > 3) {
    std::string head = name.substr(0, 3);
    std::transform(head.begin(), head.end(), head.begin(), [](unsigned char c) { return std::toupper(c); });
    const std::string digits = name.substr(3);
    if (head == "COM" && !digits.empty() && digits.size() <= 3 &&
        std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); })) {
      int n = std::stoi(digits);
      if (n >= 1) return "/dev/ttyS" + std::to_string(n - 1);
    }
  }
  if (name.find('/') == std::string::npos && !name.empty()) return "/dev/" + name;
  return name;
}

std::string CSerialPort::DeviceIdentity(const std::string& name) {
  const std::string path = ResolveDevicePath(name);
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode))
    return "device " + std::to_string(major(st.st_rdev)) + ":" + std::to_string(minor(st.st_rdev));
  char* real = ::realpath(path.c_str(), nullptr);
  const std::string resolved = real ? real : path;
  std::free(real);
  return resolved;
}

bool CSerialPort::Open(const std::string& address) {
  if (d_->abort.isSet()) return false;  // a stopped port stays stopped
  Close();
  const std::string path = ResolveDevicePath(address);
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    SetErrorText(OpenErrorText(errno, path));
    return false;
  }
  if (!::isatty(fd)) {
    ::close(fd);
    SetErrorText(path + " is not a serial device.");
    return false;
  }
  // Nobody else may use the port while we hold it.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    ::close(fd);
    SetErrorText(OpenErrorText(err == EWOULDBLOCK ? EBUSY : err, path));
    return false;
  }
  d_->fd = fd;
  d_->askLowLatency();
  SetSpeed(timing::kSerialInitialRate);
  return true;
}

// A USB-serial bridge holds received bytes until its buffer fills or its latency timer runs out
// (16 ms by default on many), so each one-byte reply would wait that long: the driver lowers the
// timer when asked for low latency. A port that has no such setting (a pseudo-terminal) is used
// as it is.
void CSerialPort::Private::askLowLatency() {
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
  savedSerialFlags = serial.flags;
  if (serial.flags & ASYNC_LOW_LATENCY) return;
  serial.flags |= ASYNC_LOW_LATENCY;
  lowLatencySet = ::ioctl(fd, TIOCSSERIAL, &serial) == 0;
}

void CSerialPort::Private::restoreLatency() {
  if (!lowLatencySet) return;
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) == 0) {
    serial.flags = (serial.flags & ~ASYNC_LOW_LATENCY) | (savedSerialFlags & ASYNC_LOW_LATENCY);
    ::ioctl(fd, TIOCSSERIAL, &serial);
  }
  lowLatencySet = false;
}

void CSerialPort::Close() {
  if (d_->fd < 0) return;
  int dtr = TIOCM_DTR;
  ::ioctl(d_->fd, TIOCMBIC, &dtr);  // drop DTR; devices without modem lines refuse, which is fine
  d_->restoreLatency();
  ::close(d_->fd);
  d_->fd = -1;
}

int CSerialPort::SetBridgeLatch(uint8_t mask, uint8_t state) { return CMNC::SetBridgeLatch(d_->fd, mask, state); }

bool CSerialPort::SetSpeed(int rate) {
  if (d_->fd < 0) return false;
  bool ok = false;
  termios tio{};
  const speed_t speed = SpeedConstantFor(rate);
  if (speed != B0 && ::tcgetattr(d_->fd, &tio) == 0) {
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                          IXON | IXOFF | IXANY | INPCK);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ok = ::cfsetispeed(&tio, speed) == 0 && ::cfsetospeed(&tio, speed) == 0 &&
         ::tcsetattr(d_->fd, TCSANOW, &tio) == 0;
    if (ok) {
      int lines = TIOCM_DTR | TIOCM_RTS;
      ::ioctl(d_->fd, TIOCMBIS, &lines);  // DTR and RTS held on
    }
  }
  characterTimeMs_ = CharacterTimeFor(rate);
  if (ok) rate_ = rate;
  return ok;
}

// Waits up to totalUs for the first byte (0 with poll: only what is there), then gathers further
// bytes while they follow within gapUs. The count read, or -1 when stopped, or when the device
// failed or went away before a byte came.
int CSerialPort::Private::gather(uint8_t* buffer, int size, int64_t totalUs, int64_t gapUs, bool poll) {
  using namespace std::chrono;
  const auto deadline = steady_clock::now() + microseconds(totalUs);
  int got = 0;
  while (got < size) {
    int64_t wait = 0;
    if (!poll) {
      const int64_t left = duration_cast<microseconds>(deadline - steady_clock::now()).count();
      if (left <= 0) break;
      wait = got == 0 ? left : std::min(gapUs, left);  // the first byte may take the whole time-out
    }
    const AbortSignal::Wait w = abort.waitMicros(fd, POLLIN, wait);
    if (w == AbortSignal::Wait::Aborted) return -1;
    if (w == AbortSignal::Wait::Failed) return got > 0 ? got : -1;
    if (w == AbortSignal::Wait::Timeout) break;
    const ssize_t n = ::read(fd, buffer + got, static_cast<size_t>(size - got));
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) return got > 0 ? got : -1;  // device gone (cable pulled, hang-up)
    got += static_cast<int>(n);
  }
  return got;
}

int CSerialPort::Read(uint8_t* buffer, int size, int timeoutMs, int intervalMs) {
  if (d_->fd < 0 || d_->abort.isSet()) return -1;
  if (size <= 0) return 0;
  int gap = intervalMs < 0 ? characterTimeMs_ : intervalMs > 0 ? std::max(intervalMs, characterTimeMs_) : 0;
  gap = std::max(gap, timing::kSerialMinGapMs);
  const int total = timeoutMs < 0 ? timing::kSerialDefaultReadMs : timeoutMs;
  return d_->gather(buffer, size, int64_t{total} * 1000, int64_t{gap} * 1000, timeoutMs == 0);
}

int CSerialPort::ReadReply(uint8_t* buffer, int size, int timeoutMs, int gapUs) {
  if (d_->fd < 0 || d_->abort.isSet()) return -1;
  if (size <= 0) return 0;
  const int64_t gap = gapUs < 0 ? ReplyGapMicrosFor(rate_) : gapUs;
  const int total = timeoutMs < 0 ? timing::kSerialDefaultReadMs : timeoutMs;
  return d_->gather(buffer, size, int64_t{total} * 1000, gap, false);
}

int CSerialPort::Write(const uint8_t* data, int size, int timeoutMs) {
  if (d_->fd < 0 || d_->abort.isSet()) return -1;
  if (size <= 0) return 0;
  int64_t limit = timeoutMs > 0 ? timeoutMs
                                : static_cast<int64_t>(timing::kSerialWriteMsPerByte) * size + timing::kSerialWriteConstMs;
  Clock& clock = Clock::system();
  const int64_t deadline = clock.nowMs() + limit;
  int done = 0;
  while (done < size) {
    ssize_t n = ::write(d_->fd, data + done, static_cast<size_t>(size - done));
    if (n > 0) {
      done += static_cast<int>(n);
      if (rate_ > 0)  // ten bits a byte on the line
        d_->lineFreeAtMs = std::max(d_->lineFreeAtMs, clock.nowMs()) + (static_cast<int64_t>(n) * 10000 + rate_ - 1) / rate_;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) {
      SetErrorText(SystemMessage(errno));
      return -1;
    }
    int64_t left = deadline - clock.nowMs();
    if (left <= 0) break;
    AbortSignal::Wait w = d_->abort.wait(d_->fd, POLLOUT, static_cast<int>(left));
    if (w == AbortSignal::Wait::Aborted) return -1;
    if (w == AbortSignal::Wait::Failed) {
      SetErrorText("The device stopped responding (unplugged?).");
      return -1;
    }
    if (w == AbortSignal::Wait::Timeout) break;
  }
  return done;
}

bool CSerialPort::Purge(uint32_t flags) {
  // The abort comes from another thread, also while Open runs: it touches the latch only.
  if (flags & (kPurgeTxAbort | kPurgeRxAbort)) d_->abort.trigger();
  const bool tx = flags & kPurgeTxClear, rx = flags & kPurgeRxClear;
  if (!(tx || rx) || d_->fd < 0) return true;
  return ::tcflush(d_->fd, tx && rx ? TCIOFLUSH : tx ? TCOFLUSH : TCIFLUSH) == 0;
}

bool CSerialPort::Drain(int timeoutMs) {
  if (d_->fd < 0 || d_->abort.isSet()) return false;
  Clock& clock = Clock::system();
  const int64_t deadline = clock.nowMs() + std::max(timeoutMs, 0);
  for (;;) {
    int queued = 0;
    const bool queueEmpty = ::ioctl(d_->fd, TIOCOUTQ, &queued) != 0 || queued <= 0;
    if (queueEmpty && clock.nowMs() >= d_->lineFreeAtMs) return true;
    if (clock.nowMs() >= deadline) return false;
    // Sleep a little without missing an abort.
    pollfd none{-1, 0, 0};
    ::poll(&none, 0, 2);
    if (d_->abort.isSet()) return false;
  }
}

}  // namespace CMNC
