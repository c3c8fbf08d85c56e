#include "FakePort.h"

#include <algorithm>

bool FakePort::Open(const std::string&) {
  if (whileOpening) whileOpening(*this);
  if (aborted_) return false;
  if (failOpen) {
    SetErrorText("No such file or directory");
    return false;
  }
  open_ = true;
  return true;
}

int FakePort::take(uint8_t* buffer, int size, bool oneBurst) {
  int n = 0;
  while (n < size && !bursts_.empty()) {
    std::size_t& left = bursts_.front();
    while (n < size && left > 0) {
      buffer[n++] = incoming_.front();
      incoming_.pop_front();
      --left;
    }
    if (left > 0) break;
    bursts_.pop_front();
    if (oneBurst) break;
  }
  return n;
}

int FakePort::Read(uint8_t* buffer, int size, int timeoutMs, int) { return readQueued(buffer, size, timeoutMs, false); }

int FakePort::ReadReply(uint8_t* buffer, int size, int timeoutMs, int gapUs) {
  replyGaps.push_back(gapUs);
  return readQueued(buffer, size, timeoutMs, serialLike && gapUs < burstSpacingUs);
}

int FakePort::readQueued(uint8_t* buffer, int size, int timeoutMs, bool oneBurst) {
  if (!open_ || aborted_) return -1;
  const bool poll = serialLike && timeoutMs == 0;
  bool empty;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    empty = incoming_.empty();
  }
  if (empty && whenEmpty && !poll) whenEmpty(*this);
  std::lock_guard<std::mutex> lock(mutex_);
  const int n = take(buffer, size, oneBurst);
  if (n == 0 && clock_ && !poll) clock_->advance(timeoutMs < 0 ? 500 : std::max(timeoutMs, 1));
  return n;
}

int FakePort::Write(const uint8_t* data, int size, int) {
  if (!open_ || aborted_) return -1;
  if (failWrites) return -1;
  const int n = maxPerWrite > 0 ? std::min(size, maxPerWrite) : size;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    written_.insert(written_.end(), data, data + n);
    writeSizes_.push_back(n);
  }
  if (responder) responder(data, n, *this);
  return n;
}

bool FakePort::Purge(uint32_t flags) {
  if (flags & (CMNC::kPurgeTxAbort | CMNC::kPurgeRxAbort)) aborted_ = true;
  if ((flags & (CMNC::kPurgeTxClear | CMNC::kPurgeRxClear)) && whilePurging) whilePurging(*this);
  std::lock_guard<std::mutex> lock(mutex_);
  ++purges;
  if (flags & CMNC::kPurgeRxClear) {
    incoming_.clear();
    bursts_.clear();
  }
  return true;
}

void FakePort::feed(const std::vector<uint8_t>& bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  incoming_.insert(incoming_.end(), bytes.begin(), bytes.end());
  if (!bytes.empty()) bursts_.push_back(bytes.size());
}

void FakePort::feed(const std::string& text) { feed(std::vector<uint8_t>(text.begin(), text.end())); }

std::vector<uint8_t> FakePort::written() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return written_;
}

std::string FakePort::writtenText() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::string(written_.begin(), written_.end());
}

std::vector<int> FakePort::writeSizes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return writeSizes_;
}

FakeChannel::FakeChannel(FakeClock* clock)
    : channel([this, clock](ConnectionKind) {
        auto p = std::make_unique<FakePort>(clock);
        p->responder = responder;
        p->maxPerWrite = maxPerWrite;
        p->whileOpening = whileOpening;
        port = p.get();
        if (whenCreated) whenCreated();
        return p;
      }) {}

bool FakeChannel::connect() { return channel.Connect({"fake", "fake port", "fake", ConnectionKind::Usb}); }
