#include "VirtualReceiver.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "DtpBytes.h"
#include "LineSpeeds.h"
#include "RamImage.h"

namespace {

constexpr uint8_t kCapture = 0x55;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kLoaded = 0x1E;
constexpr uint8_t kGoOn = 0x01;
constexpr int kAcksToTakeOver = 4;
constexpr int kHandshakeNaks = 3;
constexpr int kDefaultLoaderBlock = 512;
constexpr int64_t kRamGapMs = 300;
constexpr int kPollMs = 10;
constexpr int64_t kPaceSliceMs = 20;  // paced, the line is read in pieces of this much line time
constexpr std::size_t kMaxLine = 4096;

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void makeRaw(int fd) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return;
  cfmakeraw(&tio);
  cfsetispeed(&tio, B115200);
  cfsetospeed(&tio, B115200);
  tcsetattr(fd, TCSANOW, &tio);
}

void writeAll(int fd, const uint8_t* data, std::size_t size) {
  std::size_t done = 0;
  const int64_t deadline = nowMs() + 1000;
  while (done < size && nowMs() < deadline) {
    ssize_t n = ::write(fd, data + done, size - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return;
    pollfd p{fd, POLLOUT, 0};
    ::poll(&p, 1, 10);
  }
}

void pace(std::size_t bytes, int rate) {
  if (rate <= 0 || bytes == 0) return;
  const int64_t micros = static_cast<int64_t>(bytes) * 10 * 1000000 / rate;
  std::this_thread::sleep_for(std::chrono::microseconds(micros));
}

}  // namespace

VirtualReceiver::VirtualReceiver(ReceiverConfig config) : config_(std::move(config)), rate_(config_.rate) {
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  diskRemoved_ = config_.diskRemoved;
  mode_ = config_.poweredOn ? Mode::Firmware : Mode::Off;
  fsInitCount_ = config_.fsInitSteps;
}

VirtualReceiver::~VirtualReceiver() {
  stop();
  for (int fd : {ptyMaster_, ptySlave_, listenFd_, clientFd_, wakeFd_})
    if (fd >= 0) ::close(fd);
}

bool VirtualReceiver::startPty(std::string& error) {
  ptyMaster_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (ptyMaster_ < 0 || ::grantpt(ptyMaster_) != 0 || ::unlockpt(ptyMaster_) != 0) {
    error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  char name[128] = {};
  if (::ptsname_r(ptyMaster_, name, sizeof name) != 0) {
    error = "cannot name the pseudo-terminal";
    return false;
  }
  ptyPath_ = name;
  // Holding the slave open keeps the line (and the speed the loader sets) alive between opens.
  ptySlave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (ptySlave_ < 0) {
    error = std::string("cannot open ") + name;
    return false;
  }
  makeRaw(ptySlave_);
  ::fcntl(ptyMaster_, F_SETFL, ::fcntl(ptyMaster_, F_GETFL) | O_NONBLOCK);
  return true;
}

bool VirtualReceiver::startTcp(int port, std::string& error) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd_, 4) != 0) {
    error = std::string("cannot listen on TCP port ") + std::to_string(port) + ": " + std::strerror(errno);
    return false;
  }
  socklen_t len = sizeof addr;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
  tcpPort_ = ntohs(addr.sin_port);
  return true;
}

void VirtualReceiver::run() {
  if (running_.exchange(true)) return;
  thread_ = std::thread([this] { loop(); });
}

void VirtualReceiver::stop() {
  if (!running_.exchange(false)) return;
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
  if (thread_.joinable()) thread_.join();
}

void VirtualReceiver::powerOn() {
  std::lock_guard<std::mutex> lock(mutex_);
  restart();
}

void VirtualReceiver::setFaults(const ReceiverFaults& faults) {
  std::lock_guard<std::mutex> lock(mutex_);
  config_.faults = faults;
}

std::vector<FlashedImage> VirtualReceiver::flashed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return flashed_;
}

std::map<std::string, std::vector<uint8_t>> VirtualReceiver::files() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return files_;
}

std::vector<std::string> VirtualReceiver::commands() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return commands_;
}

int VirtualReceiver::captures() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return captures_;
}

int VirtualReceiver::refusedDecisions() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return refusedDecisions_;
}

int VirtualReceiver::rate() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return rate_;
}

void VirtualReceiver::loop() {
  while (running_) {
    // The line is read whatever the receiver's state (switched off or silent, bytes are dropped
    // as a cable drains them), unless the fault holds it.
    const int lineFd = holdingLine() ? -1 : ptyMaster_;
    pollfd fds[4] = {{wakeFd_, POLLIN, 0}, {lineFd, POLLIN, 0}, {listenFd_, POLLIN, 0}, {clientFd_, POLLIN, 0}};
    ::poll(fds, 4, kPollMs);
    if (!running_) break;
    if (fds[1].revents & POLLIN) readPty();
    if (fds[2].revents & POLLIN) acceptTcp();
    if (clientFd_ >= 0 && fds[3].fd == clientFd_ && (fds[3].revents & (POLLIN | POLLHUP | POLLERR))) readTcp();
    std::lock_guard<std::mutex> lock(mutex_);
    tick();
  }
}

bool VirtualReceiver::holdingLine() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return config_.faults.holdLine;
}

// Paced, one read takes what the line carries in kPaceSliceMs, so the line drains evenly, as a
// cable does, and a stop is seen between the slices also at a low rate.
void VirtualReceiver::readPty() {
  uint8_t buffer[4096];
  if (ptyMaster_ < 0) return;
  std::size_t want = sizeof buffer;
  if (config_.pace) {
    const int64_t perSlice = static_cast<int64_t>(lineSpeed()) / 10 * kPaceSliceMs / 1000;
    want = static_cast<std::size_t>(std::clamp<int64_t>(perSlice, 1, static_cast<int64_t>(sizeof buffer)));
  }
  ssize_t n = ::read(ptyMaster_, buffer, want);
  if (n <= 0) return;
  if (config_.pace) pace(static_cast<std::size_t>(n), lineSpeed());
  std::lock_guard<std::mutex> lock(mutex_);
  input(Link::Pty, buffer, static_cast<std::size_t>(n));
}

void VirtualReceiver::acceptTcp() {
  int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (mode_ != Mode::Firmware || config_.faults.silent) {
    ::close(fd);  // restarting: the connection is dropped
    return;
  }
  if (clientFd_ >= 0) ::close(clientFd_);  // one session at a time: the newest wins
  clientFd_ = fd;
  login_ = Login::Prompt;
  loginLine_.clear();
  if (config_.socketIsUsb) {  // a USB port asks no login
    login_ = Login::Ready;
    activeLink_ = Link::Tcp;
    return;
  }
  const std::string prompt = "\r\n" + config_.model + " login: ";
  writeAll(clientFd_, reinterpret_cast<const uint8_t*>(prompt.data()), prompt.size());
}

void VirtualReceiver::readTcp() {
  uint8_t buffer[4096];
  ssize_t n = ::recv(clientFd_, buffer, sizeof buffer, 0);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (n <= 0) {
    ::close(clientFd_);
    clientFd_ = -1;
    if (activeLink_ == Link::Tcp) activeLink_ = Link::None;
    return;
  }
  if (login_ != Login::Ready) {
    loginInput(buffer, static_cast<std::size_t>(n));
    return;
  }
  input(Link::Tcp, buffer, static_cast<std::size_t>(n));
}

void VirtualReceiver::loginInput(const uint8_t* data, std::size_t size) {
  for (std::size_t i = 0; i < size && clientFd_ >= 0; ++i) {
    if (data[i] != '\n') {
      if (data[i] != '\r' && loginLine_.size() < kMaxLine) loginLine_ += static_cast<char>(data[i]);
      continue;
    }
    const std::string line = loginLine_;
    loginLine_.clear();
    if (login_ == Login::Prompt) {
      login_ = Login::Password;
      const std::string prompt = "Password: ";
      writeAll(clientFd_, reinterpret_cast<const uint8_t*>(prompt.data()), prompt.size());
    } else if (line == config_.password) {
      login_ = Login::Ready;
      activeLink_ = Link::Tcp;
      reply("Logged in on /dev/tcp/a", "");
    } else {
      const std::string text = "\r\nLogin incorrect\r\n";
      writeAll(clientFd_, reinterpret_cast<const uint8_t*>(text.data()), text.size());
      ::close(clientFd_);
      clientFd_ = -1;
    }
  }
}

int VirtualReceiver::lineSpeed() const {
  termios tio{};
  if (ptySlave_ < 0 || tcgetattr(ptySlave_, &tio) != 0) return 0;
  return CMNC::RateOfSpeedConstant(cfgetospeed(&tio));
}

bool VirtualReceiver::lineSpeedMatches() const { return activeLink_ != Link::Pty || lineSpeed() == rate_; }

void VirtualReceiver::send(const uint8_t* data, std::size_t size) {
  if (config_.faults.silent) return;
  if (activeLink_ == Link::Pty && ptyMaster_ >= 0) {
    writeAll(ptyMaster_, data, size);
    if (config_.pace) pace(size, lineSpeed());
  } else if (activeLink_ == Link::Tcp && clientFd_ >= 0) {
    writeAll(clientFd_, data, size);
  }
}

void VirtualReceiver::sendText(const std::string& text) {
  send(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void VirtualReceiver::reply(const std::string& tag, const std::string& body, bool error) {
  const std::string message = "%" + tag + "%" + body + "\r\n";
  char head[8];
  std::snprintf(head, sizeof head, "%s%03X", error ? "ER" : "RE", static_cast<unsigned>(message.size() & 0xFFF));
  sendText(head + message);
}

void VirtualReceiver::restart() {
  if (clientFd_ >= 0) {
    ::close(clientFd_);
    clientFd_ = -1;
    if (activeLink_ == Link::Tcp) activeLink_ = Link::None;
  }
  mode_ = Mode::BootWindow;
  modeUntilMs_ = nowMs() + config_.bootWindowMs;
  ackCount_ = 0;
  dtp_.reset();
  line_.clear();
}

void VirtualReceiver::rebootAfterFld() {
  if (clientFd_ >= 0) {
    ::shutdown(clientFd_, SHUT_RDWR);
    ::close(clientFd_);
    clientFd_ = -1;
    if (activeLink_ == Link::Tcp) activeLink_ = Link::None;
  }
  mode_ = Mode::Rebooting;
  modeUntilMs_ = nowMs() + config_.rebootMs;
  dtp_.reset();
  line_.clear();
}

void VirtualReceiver::pullCable() {
  mode_ = Mode::Off;
  dtp_.reset();
  if (activeLink_ == Link::Pty) {
    // The device disappears: the loader's reads and writes on the line fail.
    ::close(ptyMaster_);
    ::close(ptySlave_);
    ptyMaster_ = ptySlave_ = -1;
  } else if (clientFd_ >= 0) {
    ::close(clientFd_);
    clientFd_ = -1;
  }
  activeLink_ = Link::None;
}

void VirtualReceiver::enterFirmware() {
  mode_ = Mode::Firmware;
  fsInitCount_ = 0;
  line_.clear();
}

void VirtualReceiver::tick() {
  const int64_t now = nowMs();
  if ((mode_ == Mode::BootWindow || mode_ == Mode::Rebooting) && now >= modeUntilMs_) enterFirmware();
  if (mode_ == Mode::RamImage && !ram_.empty() && now - ramLastByteMs_ > kRamGapMs) {
    const RamImageHeader header = RamImageHeader::parse(ram_);
    if (!header.known) ramImageComplete();
  }
  if (mode_ == Mode::Dtp && dtp_) dtp_->tick(now);
}

void VirtualReceiver::input(Link link, const uint8_t* data, std::size_t size) {
  if (config_.faults.silent || mode_ == Mode::Off || mode_ == Mode::Rebooting) return;
  activeLink_ = link;
  switch (mode_) {
    case Mode::BootWindow:
    case Mode::Captured:
    case Mode::Decision:
      bootLoaderInput(data, size);
      break;
    case Mode::RamImage:
      ramImageInput(data, size);
      break;
    case Mode::BlockSize:
      for (std::size_t i = 0; i < size; ++i) {
        announce_.push_back(data[i]);
        if (announce_.size() == 4) {
          const int blockSize = (announce_[0] << 24) | (announce_[1] << 16) | (announce_[2] << 8) | announce_[3];
          startDtp(blockSize, DtpPurpose::Flash, "");
          if (i + 1 < size) dtpInput(data + i + 1, size - i - 1);
          return;
        }
      }
      break;
    case Mode::Dtp:
      dtpInput(data, size);
      break;
    case Mode::Firmware:
      firmwareInput(data, size);
      break;
    default:
      break;
  }
}

void VirtualReceiver::bootLoaderInput(const uint8_t* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    const uint8_t b = data[i];
    if (mode_ == Mode::BootWindow) {
      if (b == kCapture && !config_.faults.silentBootLoader) {
        ++captures_;
        mode_ = Mode::Captured;
        ackCount_ = 0;
        send(&kNak, 1);
      }
    } else if (mode_ == Mode::Captured) {
      if (b == kAck && ++ackCount_ == kAcksToTakeOver) {
        std::vector<uint8_t> answer(static_cast<std::size_t>(kHandshakeNaks + config_.faults.bootNakFlood), kNak);
        answer.push_back(static_cast<uint8_t>(config_.faults.hardwareVersion));
        answer.push_back(static_cast<uint8_t>(config_.faults.secondVersion));
        send(answer.data(), answer.size());
        mode_ = Mode::Decision;
      }
    } else if (mode_ == Mode::Decision) {
      if (b == kCapture) continue;  // the tail of the flood
      if (b == kGoOn) {
        mode_ = Mode::RamImage;
        ram_.clear();
        ramLastByteMs_ = nowMs();
        if (i + 1 < size) ramImageInput(data + i + 1, size - i - 1);
      } else {
        ++refusedDecisions_;
        restart();
      }
      return;
    }
  }
}

void VirtualReceiver::ramImageInput(const uint8_t* data, std::size_t size) {
  ram_.insert(ram_.end(), data, data + size);
  ramLastByteMs_ = nowMs();
  const RamImageHeader header = RamImageHeader::parse(ram_);
  if (header.known && ram_.size() >= header.length + 4) ramImageComplete();
}

void VirtualReceiver::ramImageComplete() {
  const RamImageHeader header = RamImageHeader::parse(ram_);
  const std::size_t length = header.known ? header.length : (ram_.size() >= 4 ? ram_.size() - 4 : 0);
  std::vector<uint8_t> image(ram_.begin(), ram_.begin() + static_cast<std::ptrdiff_t>(length));
  const uint8_t* c = ram_.data() + length;
  const uint32_t sent = (uint32_t{c[0]} << 24) | (uint32_t{c[1]} << 16) | (uint32_t{c[2]} << 8) | c[3];
  std::vector<uint8_t> rest(ram_.begin() + static_cast<std::ptrdiff_t>(length + 4), ram_.end());
  ram_.clear();
  if (sent != RamImageHeader::checksum(image) || config_.faults.ramChecksumNak) {
    send(&kNak, 1);
    restart();
    return;
  }
  send(&kLoaded, 1);
  if (header.kind != RamImageHeader::Kind::Loader) {
    flashed_.push_back({"ram", std::move(image), captures_, ""});
    restart();
    return;
  }
  loaderVersion_ = header.loaderVersion;
  if (loaderVersion_ >= 3) {
    mode_ = Mode::BlockSize;
    announce_.clear();
    if (!rest.empty()) input(activeLink_, rest.data(), rest.size());
  } else {
    startDtp(kDefaultLoaderBlock, DtpPurpose::Flash, "");
  }
}

void VirtualReceiver::startDtp(int blockSize, DtpPurpose purpose, const std::string& name) {
  DtpReceiver::Faults faults;
  faults.nakFrames = config_.faults.dtpNakFrames;
  faults.corruptFrames = config_.faults.dtpCorruptFrames;
  faults.refuseCode = config_.faults.dtpRefuseCode;
  if (purpose == DtpPurpose::Stream && config_.faults.streamAlwaysFails) faults.refuseCode = 0x21;
  faults.endWithEndAck = purpose == DtpPurpose::Flash && config_.faults.endAckFlash;
  if (blockSize < 1 || blockSize > CMNC::dtp::kMaxBlockSize) blockSize = kDefaultLoaderBlock;
  dtp_ = std::make_unique<DtpReceiver>(blockSize, faults, [this](const uint8_t* d, std::size_t n) { send(d, n); });
  dtpPurpose_ = purpose;
  dtpName_ = name;
  dtpFrames_ = 0;
  mode_ = Mode::Dtp;
  dtp_->tick(nowMs());
}

void VirtualReceiver::dtpInput(const uint8_t* data, std::size_t size) {
  const DtpReceiver::Status status = dtp_->feed(data, size, nowMs());
  if (config_.faults.dropLinkAfterFrames >= 0 && dtp_->framesAccepted() >= config_.faults.dropLinkAfterFrames) {
    pullCable();
    return;
  }
  if (status == DtpReceiver::Status::Receiving) return;
  const bool done = status == DtpReceiver::Status::Done;
  std::vector<uint8_t> bytes = dtp_->bytes();
  dtp_.reset();
  switch (dtpPurpose_) {
    case DtpPurpose::Flash:
      if (done) flashed_.push_back({"flash", std::move(bytes), captures_, ""});
      restart();
      break;
    case DtpPurpose::Put:
      if (done) files_["/log/" + dtpName_] = std::move(bytes);
      mode_ = Mode::Firmware;
      break;
    case DtpPurpose::Stream:
      if (done) {
        flashed_.push_back({"fld-stream", std::move(bytes), 0, "/cur/term"});
        rebootAfterFld();
      } else {
        mode_ = Mode::Firmware;
      }
      break;
  }
}

void VirtualReceiver::firmwareInput(const uint8_t* data, std::size_t size) {
  if (!lineSpeedMatches()) {
    line_.clear();  // at the wrong speed the bytes are garbage to the receiver
    return;
  }
  for (std::size_t i = 0; i < size && mode_ == Mode::Firmware; ++i) {
    if (data[i] == '\n') {
      std::string line;
      line.swap(line_);
      command(line);
      if (mode_ == Mode::Dtp && i + 1 < size) {
        dtpInput(data + i + 1, size - i - 1);
        return;
      }
    } else if (line_.size() < kMaxLine) {
      line_ += static_cast<char>(data[i]);
    }
  }
}
