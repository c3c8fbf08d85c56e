#include "LoadWorker.h"

#include <algorithm>

#include "CommandChannel.h"
#include "LoadDriver.h"
#include "Timing.h"

namespace {
std::atomic<LoadWorker*> g_currentWorker{nullptr};
}

LoadWorker::LoadWorker(CommandChannel* channel_, LoadMethod method_, bool portBPowerSlots_, SourceKind sourceKind_,
                       FirmwareImageSet* images_, Procedure procedure, const LoadJob& job_, LoadEvents& events_,
                       CMNC::Clock& clock_)
    : channel(channel_),
      images(images_),
      method(method_),
      job(job_),
      portBPowerSlots(portBPowerSlots_),
      sourceKind(sourceKind_),
      events(events_),
      clock(clock_),
      procedure_(procedure ? std::move(procedure) : Procedure(&loadDriver)) {}

LoadWorker::~LoadWorker() { stop(); }

void LoadWorker::resume() {
  if (thread_.joinable() || stopped_) return;
  thread_ = std::thread([this] { procedure_(*this); });
}

void LoadWorker::stop() {
  if (stopped_) return;
  stopped_ = true;
  abortRequested.store(true);
  if (channel) channel->Purge(CMNC::kPurgeTxAbort | CMNC::kPurgeRxAbort);
  if (thread_.joinable()) thread_.join();
  if (channel) channel->Disconnect();
  LoadWorker* self = this;
  g_currentWorker.compare_exchange_strong(self, nullptr);
}

bool LoadWorker::sleep(int64_t ms) {
  const int64_t end = clock.nowMs() + ms;
  for (;;) {
    if (aborted()) return false;
    const int64_t left = end - clock.nowMs();
    if (left <= 0) return true;
    clock.sleepMs(std::min<int64_t>(left, CMNC::timing::kAbortCheckMs));
  }
}

LoadWorker* LoadWorker::current() { return g_currentWorker.load(); }

void LoadWorker::setCurrent(LoadWorker* worker) { g_currentWorker.store(worker); }
