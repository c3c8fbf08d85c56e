#include "RecordingPort.h"

#include <chrono>

#include "LinkKinds.h"

namespace CMNC {

RecordingPort::RecordingPort(std::unique_ptr<CAbstractReceiverPort> port, std::shared_ptr<ExchangeRecorder> recorder)
    : port_(std::move(port)), recorder_(std::move(recorder)) {}

RecordingPort::~RecordingPort() = default;

// The real port's new error text becomes this port's, where the channel reads it.
void RecordingPort::takeErrorText() {
  const std::string text = port_->GetErrorText();
  if (text == lastInnerError_) return;
  lastInnerError_ = text;
  SetErrorText(text);
}

bool RecordingPort::Open(const std::string& address) {
  const bool opened = port_->Open(address);
  takeErrorText();
  recorder_->event("open", opened ? "ok" : "failed " + port_->GetErrorText());
  return opened;
}

void RecordingPort::Close() {
  if (port_->IsOpen()) recorder_->event("close");
  port_->Close();
}

namespace {
int64_t monotonicUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

// A read is written when it returns, with how long it waited: its bytes may have come at any
// moment of the wait.
int RecordingPort::recordRead(int n, const uint8_t* buffer, int64_t startedUs) {
  takeErrorText();
  const std::string waited = std::to_string(monotonicUs() - startedUs) + " ";
  if (n > 0) recorder_->event("read", waited + ExchangeRecorder::hex(buffer, n));
  else if (n == 0) recorder_->event("read", waited + "-");
  else recorder_->event("read", waited + "error " + port_->GetErrorText());
  return n;
}

int RecordingPort::Read(uint8_t* buffer, int size, int timeoutMs, int intervalMs) {
  const int64_t started = monotonicUs();
  return recordRead(port_->Read(buffer, size, timeoutMs, intervalMs), buffer, started);
}

int RecordingPort::ReadReply(uint8_t* buffer, int size, int timeoutMs, int gapUs) {
  const int64_t started = monotonicUs();
  return recordRead(port_->ReadReply(buffer, size, timeoutMs, gapUs), buffer, started);
}

int RecordingPort::Write(const uint8_t* data, int size, int timeoutMs) {
  const std::string password = port_->LoginPassword();
  const bool secret = !password.empty() && size == static_cast<int>(password.size()) &&
                      std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(size)) == password;
  const int n = port_->Write(data, size, timeoutMs);
  takeErrorText();
  if (secret) recorder_->event("password", n == size ? "" : "short");
  else recorder_->event("write", ExchangeRecorder::hex(data, n > 0 ? n : 0) + (n < size ? " short " + std::to_string(size) : ""));
  return n;
}

bool RecordingPort::Purge(uint32_t flags) {
  const bool done = port_->Purge(flags);
  recorder_->event("purge", std::to_string(flags));
  return done;
}

bool RecordingPort::SetLineRate(int rate) {
  const bool set = port_->SetLineRate(rate);
  takeErrorText();
  recorder_->event("rate", std::to_string(rate) + (set ? "" : " refused"));
  return set;
}

int RecordingPort::SetBridgeLatch(uint8_t mask, uint8_t state) {
  const int result = port_->SetBridgeLatch(mask, state);
  recorder_->event("latch", std::to_string(mask) + " " + std::to_string(state) + " " + std::to_string(result));
  return result;
}

std::function<std::unique_ptr<CAbstractReceiverPort>(ConnectionKind)> RecordingPorts(std::shared_ptr<ExchangeRecorder> recorder) {
  return [recorder](ConnectionKind kind) -> std::unique_ptr<CAbstractReceiverPort> {
    std::unique_ptr<CAbstractReceiverPort> port = LinkKindOf(kind).makePort();
    if (!port) return nullptr;
    return std::make_unique<RecordingPort>(std::move(port), recorder);
  };
}

}  // namespace CMNC
