#include "CommandChannel.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "BridgeLatch.h"
#include "Clock.h"
#include "LinkKinds.h"
#include "ReceiverLanguage.h"
#include "ProtocolTiming.h"

using namespace CMNC;

namespace {


// Says whether a password was sent, never how long it was.
std::string MaskPassword(const std::string& password) { return password.empty() ? "(none was given)" : "********"; }

}  // namespace

CommandChannel::CommandChannel(PortFactory factory) : factory_(std::move(factory)) {}

CommandChannel::~CommandChannel() { Disconnect(); }

std::unique_ptr<CAbstractReceiverPort> CommandChannel::MakePort(ConnectionKind kind) const {
  if (factory_) return factory_(kind);
  if (kind == ConnectionKind::None) return nullptr;
  return LinkKindOf(kind).makePort();
}

bool CommandChannel::Connect(const PortEntry& entry) {
  Disconnect();
  lastError_.clear();
  linkFailed_ = false;
  connection_ = entry;
  std::unique_ptr<CAbstractReceiverPort> port = MakePort(entry.kind);
  if (!port) {
    lastError_ = "No link chosen.";
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(portMutex_);
    if (abortRequested_) {  // the stop came before the port could be reached
      lastError_ = "Aborted.";
      return false;
    }
    opening_ = port.get();
  }
  bool opened = port->Open(entry.address);
  bool aborted = false;
  {
    std::lock_guard<std::mutex> lock(portMutex_);
    opening_ = nullptr;
    aborted = abortRequested_;
    if (opened && !aborted) port_ = std::move(port);
  }
  if (!opened || aborted) {
    lastError_ = aborted ? "Aborted." : port->GetErrorText();
    if (opened) port->Close();
    return false;
  }
  if (port_->capabilities().lineRate) {
    SetRate(currentRate_, false);
  } else if (port_->capabilities().login && !Login()) {
    std::unique_ptr<CAbstractReceiverPort> failed;
    {
      std::lock_guard<std::mutex> lock(portMutex_);
      failed = std::move(port_);
    }
    lastError_ = failed->GetErrorText();
    return false;
  }
  return true;
}

bool CommandChannel::Login() {
  const std::string password = port_->LoginPassword();
  std::string tag, body;
  // The password is written past the exchange watch: a summary names it only.
  const int size = static_cast<int>(password.size());
  if (exchangeWatch_) exchangeWatch_("> (the password)");
  bool ok = Write(reinterpret_cast<const uint8_t*>(password.data()), size) == size && Query("\n", tag, body);
  ok = ok && lang::IsLoginGreeting(tag);
  if (!ok) {
    std::string text = port_->GetErrorText() + "Unable to login.";
    if (body.find("ogin incorrect") != std::string::npos) text += " Wrong password? " + MaskPassword(password);
    port_->SetErrorText(text);
  }
  return ok;
}

void CommandChannel::Disconnect() {
  std::unique_ptr<CAbstractReceiverPort> old;
  {
    std::lock_guard<std::mutex> lock(portMutex_);
    old = std::move(port_);
  }
  if (old) {
    lastError_ = old->GetErrorText();
    old->Close();
  }
}

bool CommandChannel::IsConnected() const { return port_ && port_->IsOpen(); }

int CommandChannel::SetBridgeLatch(uint8_t mask, uint8_t state) {
  if (!IsConnected()) return kBridgeInvalidHandle;
  if (!port_->capabilities().bridgeLatch) return kBridgeRequestFailed;
  return port_->SetBridgeLatch(mask, state);
}

bool CommandChannel::SetRate(int rate, bool keepPrevious) {
  if (!IsConnected()) return false;
  bool result = true;
  if (port_->capabilities().lineRate) result = port_->SetLineRate(rate);
  if (rate != currentRate_) port_->Purge(kPurgeTxClear | kPurgeRxClear);
  previousRate_ = keepPrevious ? currentRate_ : rate;
  currentRate_ = rate;
  return result;
}

int CommandChannel::Read(uint8_t* buffer, int size) { return Read(buffer, size, -1, -1); }

int CommandChannel::Read(uint8_t* buffer, int size, int timeoutMs) { return Read(buffer, size, timeoutMs, -1); }

int CommandChannel::Read(uint8_t* buffer, int size, int timeoutMs, int intervalMs) {
  if (size > 0) std::memset(buffer, 0, static_cast<size_t>(size));
  if (!IsConnected()) return -1;
  return watched(port_->Read(buffer, size, timeoutMs, intervalMs));
}

int CommandChannel::ReadReply(uint8_t* buffer, int size, int timeoutMs, int gapUs) {
  if (size > 0) std::memset(buffer, 0, static_cast<size_t>(size));
  if (!IsConnected()) return -1;
  return watched(port_->ReadReply(buffer, size, timeoutMs, gapUs));
}

int CommandChannel::watched(int count) {
  if (count >= 0 && port_->IsOpen()) return count;
  std::lock_guard<std::mutex> lock(portMutex_);
  if (!abortRequested_) linkFailed_ = true;
  return count;
}

int CommandChannel::DiscardInput() {
  if (!IsConnected()) return 0;
  uint8_t scratch[256];
  int dropped = 0;
  for (int i = 0; i < CMNC::timing::kDiscardReadsLimit; ++i) {
    const int n = port_->Read(scratch, sizeof scratch, 0, 0);
    if (n <= 0) break;
    dropped += n;
  }
  return dropped;
}

bool CommandChannel::HasLineRate() const { return IsConnected() && port_->capabilities().lineRate; }

bool CommandChannel::HasReplyGap() const { return IsConnected() && port_->capabilities().replyGap; }

int CommandChannel::Write(const uint8_t* data, int size, int timeoutMs) {
  if (size <= 0) return 0;
  if (!IsConnected()) return -1;
  const int chunk = std::max(1, maxWriteChunk_);
  int total = 0;
  // A short write resumes at the first byte not yet written, so nothing is skipped.
  while (total < size) {
    const int n = watched(port_->Write(data + total, std::min(chunk, size - total), timeoutMs));
    if (n <= 0) break;
    total += n;
  }
  return total;
}

bool CommandChannel::Purge(uint32_t flags) {
  const uint32_t abort = flags & (kPurgeTxAbort | kPurgeRxAbort), clear = flags & ~abort;
  if (abort) {
    std::lock_guard<std::mutex> lock(portMutex_);
    abortRequested_ = true;
    // A stop during a (re)connection must reach the port being opened as well.
    if (opening_) opening_->Purge(abort);
    if (port_) port_->Purge(abort);
    if (clear == 0) return port_ != nullptr;
  }
  // Emptying the queues can take a while on a chatty link; it never holds the lock, so a stop
  // from another thread does not wait for it. Only the channel's own thread replaces port_.
  if (!IsConnected()) return false;
  return clear == 0 || port_->Purge(clear);
}

void CommandChannel::ResetAbort() {
  std::lock_guard<std::mutex> lock(portMutex_);
  abortRequested_ = false;
}

bool CommandChannel::Drain(int timeoutMs) { return IsConnected() && port_->Drain(timeoutMs); }

namespace {
// One line of an exchange for a person: control characters as blanks, cut short.
std::string summary(const std::string& text) {
  constexpr std::size_t kMaxChars = 100;
  std::string line;
  for (const char c : text.substr(0, kMaxChars)) line += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return text.size() > kMaxChars ? line + "..." : line;
}
}  // namespace

void CommandChannel::setExchangeWatch(std::function<void(const std::string&)> watch) { exchangeWatch_ = std::move(watch); }

bool CommandChannel::SendText(const std::string& text) {
  if (exchangeWatch_) exchangeWatch_("> " + summary(text));
  const int size = static_cast<int>(text.size());
  return Write(reinterpret_cast<const uint8_t*>(text.data()), size) == size;
}

bool CommandChannel::Query(const std::string& command, std::string& tag, std::string& body) {
  tag.clear();
  body.clear();
  if (!command.empty() && !SendText(command)) return false;
  if (!IsConnected()) return false;
  const std::string reply = ReadText(kReplyBufferSize);
  if (exchangeWatch_) exchangeWatch_(reply.empty() ? "< (no answer)" : "< " + summary(reply));
  if (reply.empty()) return false;
  if (!lang::ParseReply(reply, tag, body)) body = reply;
  return true;
}

std::string CommandChannel::ReadText(int size, int timeoutMs, int intervalMs) {
  const std::string bytes = ReadBytes(size, timeoutMs, intervalMs);
  return bytes.substr(0, bytes.find('\0'));  // the text ends at the first zero byte
}

std::string CommandChannel::ReadBytes(int size, int timeoutMs, int intervalMs) {
  if (!IsConnected() || size <= 0) return {};
  std::vector<uint8_t> buffer(static_cast<std::size_t>(size), 0);
  const int n = watched(port_->Read(buffer.data(), size, timeoutMs, intervalMs));
  if (n <= 0) return {};
  return std::string(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(n));
}

bool CommandChannel::CheckFsInit() {
  if (!IsConnected()) return false;
  std::string tag, body;
  return Query(lang::kFsInitQuery, tag, body) && lang::FsInitAccepted(tag, body);
}

bool CommandChannel::WaitFsInit(const std::function<bool()>& shouldStop) {
  if (!IsConnected()) return false;
  for (int i = 0; i < timing::kFsInitAttempts; ++i) {
    if (shouldStop && shouldStop()) return false;
    Clock::system().sleepMs(timing::kFsInitPauseMs);
    if (CheckFsInit()) return true;
  }
  return false;
}

std::string CommandChannel::lastError() const { return lastError_; }
