#include "ReplayReceiver.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "InputFile.h"

namespace {

constexpr int kFormatVersion = 1;
constexpr int kWriteWaitMs = 60000;      // a loader silent this long where the recording writes has stopped
constexpr int kPollSliceMs = 20;         // how long a wait looks before it checks for a stop
constexpr std::size_t kShownBytes = 16;  // bytes a mismatch report shows on each side
// The loader's purge is not seen here: what the receiver said just after one is said this much
// later, so that the purge has happened before it arrives, as it had when it was recorded.
constexpr double kAfterPurgeS = 0.05;
constexpr int kPurgeOutput = 1 | 4;  // the port's purge flags that end or clear what it was sending
constexpr std::size_t kFloodBytes = 16;  // a write of at least this many copies of one byte is a flood
// A line holds one write or read as hex: the largest write is 32 KiB, so a longer line is no event.
constexpr std::size_t kMaxLineBytes = 1 << 20;
// A recording covers one run: its time stamps count seconds from its start, within a day.
constexpr double kMaxSeconds = 24 * 60 * 60;

// A capture's flood: one byte written over and over, as many times as the receiver took to answer.
int floodByte(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < kFloodBytes) return -1;
  for (const uint8_t b : bytes)
    if (b != bytes[0]) return -1;
  return bytes[0];
}
const char kLoginPrompt[] = "\r\nreceiver login: ";
const char kPasswordPrompt[] = "Password: ";

double nowSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool unhex(const std::string& text, std::vector<uint8_t>& bytes) {
  if (text.size() % 2) return false;
  bytes.clear();
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = hexDigit(text[i]), low = hexDigit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<uint8_t>(high * 16 + low));
  }
  return true;
}

// Bytes as hex and as text (what is not printable as a dot).
std::string shown(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex, text;
  for (const uint8_t b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0x0F];
    text += b >= 0x20 && b < 0x7F ? static_cast<char>(b) : '.';
  }
  return hex.empty() ? "nothing" : hex + " \"" + text + "\"";
}

}  // namespace

// One line of at most kMaxLineBytes without its LF: Line, or End at the recording's end, or
// Unended when the recording stops inside a line (it was cut), or TooLong.
ReplayReceiver::LineRead ReplayReceiver::readLine(std::string& line) {
  line.clear();
  std::streambuf& buffer = *in_.rdbuf();
  for (;;) {
    const int c = buffer.sbumpc();
    if (c == std::char_traits<char>::eof()) return line.empty() ? LineRead::End : LineRead::Unended;
    if (c == '\n') return LineRead::Line;
    if (line.size() >= kMaxLineBytes) return LineRead::TooLong;
    line += static_cast<char>(c);
  }
}

ReplayReceiver::ReplayReceiver(const std::string& path) {
  error_ = inputfile::notRegularFile(path, "The recording");
  if (!error_.empty()) return;
  in_.open(path, std::ios::binary);
  std::string line;
  if (!in_ || readLine(line) != LineRead::Line) {
    error_ = "cannot read the recording " + path;
    return;
  }
  lineNumber_ = 1;
  const std::string magic = "vestrel-recording ";
  if (line.rfind(magic, 0) != 0) {
    error_ = path + " is no exchange recording (line 1)";
    return;
  }
  if (std::atoi(line.c_str() + magic.size()) != kFormatVersion) {
    error_ = "the recording is of format " + line.substr(magic.size()) + "; this vestrel-sim reads format " +
             std::to_string(kFormatVersion);
    return;
  }
  // The header ends where the first event (a time stamp) begins.
  while (in_.peek() != EOF && !std::isdigit(in_.peek())) {
    if (readLine(line) != LineRead::Line) {
      error_ = "the recording's header is damaged at line " + std::to_string(lineNumber_ + 1);
      return;
    }
    ++lineNumber_;
    if (line.rfind("link ", 0) == 0) link_ = line.substr(5);
  }
  if (link_ != "serial" && link_ != "tcpip") error_ = "the recording names no link this replay plays (serial or tcpip)";
}

bool ReplayReceiver::nextEvent(Event& event) {
  std::string line;
  const LineRead read = readLine(line);
  if (read == LineRead::End) {
    // Every run closes its port last: a recording that ends before that was cut short.
    if (lastWord_ != "close")
      error_ = "the recording is truncated after line " + std::to_string(lineNumber_) + ": it ends before the port's close";
    return false;
  }
  ++lineNumber_;
  if (read != LineRead::Line) {
    error_ = read == LineRead::Unended ? "the recording is truncated at line " + std::to_string(lineNumber_) + ": it ends inside that line"
                                       : "the recording is damaged at line " + std::to_string(lineNumber_) + ": the line is too long";
    return false;
  }
  event = {};
  event.line = lineNumber_;
  const std::size_t space = line.find(' ');
  char* end = nullptr;
  event.seconds = space == std::string::npos ? -1 : std::strtod(line.c_str(), &end);
  // Time stamps are seconds since the recording began: finite, never going back, within a day.
  const bool timely = std::isfinite(event.seconds) && event.seconds >= lastSeconds_ && event.seconds <= kMaxSeconds;
  if (space == std::string::npos || end != line.c_str() + space || !timely) {
    error_ = "the recording is damaged at line " + std::to_string(lineNumber_) +
             (space != std::string::npos && end == line.c_str() + space ? ": its time stamp is out of order or range" : "");
    return false;
  }
  lastSeconds_ = event.seconds;
  const std::size_t wordEnd = line.find(' ', space + 1);
  event.word = line.substr(space + 1, wordEnd == std::string::npos ? std::string::npos : wordEnd - space - 1);
  event.rest = wordEnd == std::string::npos ? "" : line.substr(wordEnd + 1);
  lastWord_ = event.word;
  return true;
}

bool ReplayReceiver::openPty(std::string& error) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  char name[128] = {};
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 || ::ptsname_r(master_, name, sizeof name) != 0) {
    error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  ptyPath_ = name;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);  // kept open: the line lives between the loader's opens
  termios tio{};
  if (slave_ >= 0 && ::tcgetattr(slave_, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::tcsetattr(slave_, TCSANOW, &tio);
  }
  client_ = master_;
  return slave_ >= 0;
}

bool ReplayReceiver::listenTcp(int port, std::string& error) {
  listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listen_, 4) != 0 ||
      ::getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    error = std::string("cannot listen: ") + std::strerror(errno);
    return false;
  }
  tcpPort_ = ntohs(address.sin_port);
  return true;
}

int ReplayReceiver::receive(uint8_t* buffer, int size, int waitMs, const volatile int& stop) {
  if (client_ < 0 || stop) return -1;
  pollfd p{client_, POLLIN, 0};
  if (::poll(&p, 1, waitMs) <= 0) return 0;
  const ssize_t n = ::read(client_, buffer, static_cast<std::size_t>(size));
  if (n > 0) return static_cast<int>(n);
  if (n < 0 && (errno == EAGAIN || errno == EINTR || errno == EIO)) {  // EIO: no program has the pty open now
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollSliceMs));
    return 0;
  }
  if (listen_ >= 0) dropLoader();  // the loader closed its connection
  return -1;
}

void ReplayReceiver::send(const std::vector<uint8_t>& bytes) {
  std::size_t sent = 0;
  while (client_ >= 0 && sent < bytes.size()) {
    const ssize_t n = ::write(client_, bytes.data() + sent, bytes.size() - sent);
    if (n > 0) sent += static_cast<std::size_t>(n);
    else if (n < 0 && errno != EAGAIN && errno != EINTR) break;
  }
}

// A TCP/IP loader connects: the login dialogue's prompts, its empty user line taken.
bool ReplayReceiver::acceptLoader(const volatile int& stop) {
  dropLoader();
  while (!stop) {
    pollfd p{listen_, POLLIN, 0};
    if (::poll(&p, 1, kPollSliceMs) <= 0) continue;
    client_ = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client_ < 0) continue;
    pending_.clear();
    send(std::vector<uint8_t>(kLoginPrompt, kLoginPrompt + std::strlen(kLoginPrompt)));
    uint8_t byte = 0;
    for (int n = 0; n >= 0 && byte != '\n';) n = receive(&byte, 1, kPollSliceMs, stop);
    send(std::vector<uint8_t>(kPasswordPrompt, kPasswordPrompt + std::strlen(kPasswordPrompt)));
    return client_ >= 0;
  }
  return false;
}

void ReplayReceiver::dropLoader() {
  if (listen_ < 0 || client_ < 0) return;
  ::shutdown(client_, SHUT_RDWR);
  ::close(client_);
  client_ = -1;
}

void ReplayReceiver::mismatch(const Event& event, std::size_t at, const std::vector<uint8_t>& expected,
                              const std::vector<uint8_t>& sent) {
  const std::vector<uint8_t> wanted(expected.begin() + static_cast<long>(at),
                                    expected.begin() + static_cast<long>(std::min(expected.size(), at + kShownBytes)));
  report_ = "replay: the loader left the recording at line " + std::to_string(event.line) + ", byte " + std::to_string(at) +
            " of that write: expected " + shown(wanted) + ", the loader sent " + shown(sent);
}

// Takes the write's bytes from the loader; false at the first byte that differs or when none come.
bool ReplayReceiver::awaitBytes(const Event& event, const std::vector<uint8_t>& expected, const volatile int& stop) {
  const double giveUp = nowSeconds() + kWriteWaitMs / 1000.0;
  const int flood = floodByte(expected);
  if (flood >= 0) droppedRepeat_ = flood;
  for (std::size_t at = 0; at < expected.size();) {
    if (pending_.empty()) {
      uint8_t buffer[4096];
      const int n = receive(buffer, sizeof buffer, kPollSliceMs, stop);
      if (n > 0) pending_.insert(pending_.end(), buffer, buffer + n);
      if (stop) return false;
      if (pending_.empty() && (n < 0 || nowSeconds() > giveUp)) {
        mismatch(event, at, expected, {});
        return false;
      }
      continue;
    }
    // What a purge of the loader's output cut short (a capture's flood of one byte) may have gone
    // out any number of times before the purge: the repeats are no departure from the recording.
    // The same goes for a flood the loader ended sooner or later than when it was recorded.
    if (at == 0 && droppedRepeat_ >= 0 && pending_.front() == droppedRepeat_ && expected[0] != droppedRepeat_) {
      pending_.pop_front();
      continue;
    }
    if (flood >= 0 && pending_.front() != flood) return true;  // the loader's flood ended here
    if (pending_.front() != expected[at]) {
      std::vector<uint8_t> sent(pending_.begin(), pending_.begin() + static_cast<long>(std::min(pending_.size(), kShownBytes)));
      mismatch(event, at, expected, sent);
      return false;
    }
    pending_.pop_front();
    ++at;
  }
  if (flood < 0) droppedRepeat_ = -1;
  if (!expected.empty()) lastWritten_ = expected.back();
  return true;
}

// The password was recorded as a placeholder: any bytes up to the line's end stand for it.
bool ReplayReceiver::awaitPassword(const volatile int& stop) {
  bool any = false;
  while (!stop && client_ >= 0) {
    while (!pending_.empty() && pending_.front() != '\n') {
      pending_.pop_front();
      any = true;
    }
    if (any && !pending_.empty()) return true;
    uint8_t buffer[256];
    const int n = receive(buffer, sizeof buffer, kPollSliceMs, stop);
    if (n > 0) pending_.insert(pending_.end(), buffer, buffer + n);
    if (n < 0) return false;
  }
  return false;
}

std::string ReplayReceiver::run(const volatile int& stop) {
  Event event;
  double clockAt = nowSeconds(), recordedAt = 0;  // where the replay's time and the recording's met last
  bool following = true;
  double margin = 0;  // added to the next thing the receiver says
  while (following && !stop && nextEvent(event)) {
    std::vector<uint8_t> bytes;
    double waited = 0;  // a read: how long the loader's call waited before it returned
    if (event.word == "read") {
      waited = std::atof(event.rest.c_str()) / 1e6;
      event.rest = event.rest.substr(std::min(event.rest.size(), event.rest.find(' ') + 1));
    }
    if (event.word == "write" || event.word == "read") {
      const std::string hex = event.rest.substr(0, event.rest.find(' '));
      if (hex != "-" && hex != "error" && !unhex(hex, bytes)) {
        error_ = "the recording is damaged at line " + std::to_string(event.line);
        break;
      }
    }
    if (event.word == "write" || event.word == "password" || (event.word == "open" && listen_ >= 0)) {
      if (event.word == "write") following = awaitBytes(event, bytes, stop);
      else if (event.word == "password") following = awaitPassword(stop);
      else following = event.rest != "ok" || acceptLoader(stop);
      clockAt = nowSeconds();
      recordedAt = event.seconds;
      continue;
    }
    if (event.word == "purge") {
      margin = kAfterPurgeS;
      if (std::atoi(event.rest.c_str()) & kPurgeOutput) droppedRepeat_ = lastWritten_;
      continue;
    }
    // What the receiver said: when the loader began the read that got it, counted from the last
    // thing the loader did.
    const double due = clockAt + std::max(0.0, event.seconds - waited - recordedAt) + (bytes.empty() ? 0 : margin);
    if (!bytes.empty()) margin = 0;
    while (!stop && nowSeconds() < due) {
      uint8_t buffer[4096];
      const int n = receive(buffer, sizeof buffer, kPollSliceMs, stop);
      if (n > 0) pending_.insert(pending_.end(), buffer, buffer + n);
    }
    if (event.word == "read" && !bytes.empty()) send(bytes);
    else if (event.word == "read" && event.rest.rfind("error", 0) == 0) dropLoader();
    else if (event.word == "close") dropLoader();
  }
  if (!error_.empty() && report_.empty()) report_ = "replay: " + error_;
  // The recording has ended: nothing more is said. A loader that goes on sending where the recording
  // holds nothing more has left it too.
  while (following && report_.empty() && !stop) {
    if (!pending_.empty()) {
      report_ = "replay: the loader sent more than the recording holds: " +
                shown(std::vector<uint8_t>(pending_.begin(), pending_.begin() + static_cast<long>(std::min(pending_.size(), kShownBytes))));
      break;
    }
    uint8_t buffer[4096];
    const int n = receive(buffer, sizeof buffer, kPollSliceMs, stop);
    if (n > 0) pending_.insert(pending_.end(), buffer, buffer + n);
  }
  return report_;
}

void ReplayReceiver::idle(const volatile int& stop) {
  uint8_t buffer[4096];
  while (!stop)
    if (receive(buffer, sizeof buffer, kPollSliceMs, stop) < 0 && listen_ < 0) std::this_thread::sleep_for(std::chrono::milliseconds(kPollSliceMs));
}
