#include "LivePublisher.h"

#include <chrono>

#include "LiveWriter.h"

LivePublisher::LivePublisher(const std::string& url, const CMNC::AbortSignal* stop)
    : LivePublisher(
          [url](const CMNC::AbortSignal* abort) -> Write {
            auto writer = std::make_shared<LiveWriter>(url, abort);
            return [writer](const LiveState& state) {
              std::string error;
              return writer->write(state, error);
            };
          },
          stop) {}

LivePublisher::LivePublisher(const MakeWrite& make, const CMNC::AbortSignal* stop) : stop_(stop), write_(make(&abort_)) {
  start();
}

LivePublisher::LivePublisher(Write write) : write_(std::move(write)) { start(); }

void LivePublisher::start() { thread_ = std::thread([this] { loop(); }); }

LivePublisher::~LivePublisher() {
  {
    std::unique_lock lock(mutex_);
    wake_.notify_all();
    // The end, when one was given, is waited for a bounded time, or until the run's stop; then
    // any write is cut short.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kEndFlushMs);
    while (throttle_.ending() && !throttle_.endWritten() && !(stop_ && stop_->isSet()) &&
           std::chrono::steady_clock::now() < deadline)
      wake_.wait_for(lock, std::chrono::milliseconds(kStopSliceMs));
    quit_ = true;
  }
  abort_.trigger();
  wake_.notify_all();
  thread_.join();
}

int64_t LivePublisher::nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void LivePublisher::publish(const LiveState& state, bool urgent) {
  std::lock_guard lock(mutex_);
  if (throttle_.ending()) return;
  state_ = state;
  throttle_.changed(nowMs(), urgent);
  wake_.notify_all();  // the thread may sleep until a heartbeat: the next write may now be due sooner
}

void LivePublisher::end(const LiveState& state) {
  std::lock_guard lock(mutex_);
  state_ = state;
  throttle_.ended(nowMs());
  wake_.notify_all();
}

void LivePublisher::loop() {
  std::unique_lock lock(mutex_);
  while (!quit_) {
    const std::optional<int64_t> due = throttle_.due();
    const int64_t now = nowMs();
    if (!due || *due > now) {
      const auto wait = std::chrono::milliseconds(due ? *due - now : 60000);
      wake_.wait_for(lock, wait);
      continue;
    }
    const LiveState state = state_;
    throttle_.taken();
    lock.unlock();
    const bool ok = write_(state);
    lock.lock();
    throttle_.written(nowMs(), ok);
    wake_.notify_all();
  }
}
