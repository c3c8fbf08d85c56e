#include "LoadWorker.h"

#include <algorithm>

#include "CommandChannel.h"
#include "LoadDriver.h"
#include "EngineTiming.h"

LoadWorker::LoadWorker(CommandChannel& channel_, FirmwareImageSet& images_, const RunSettings& settings_,
                       Procedure procedure, LoadEvents& events_, CMNC::Clock& clock_)
    : channel(&channel_),
      images(&images_),
      settings(settings_),
      events(events_),
      clock(clock_),
      procedure_(procedure ? std::move(procedure) : Procedure([](LoadWorker& w) { loadDriver(w); })) {}

LoadWorker::~LoadWorker() { stop(); }

void LoadWorker::resume() {
  if (thread_.joinable() || stopped_) return;
  thread_ = std::thread([this] {
    procedure_(*this);
    finished_.store(true);
  });
}

void LoadWorker::stop() {
  if (stopped_) return;
  stopped_ = true;
  abortRequested.store(true);
  channel->Purge(CMNC::kPurgeTxAbort | CMNC::kPurgeRxAbort);
  if (thread_.joinable()) thread_.join();
  channel->Disconnect();
}

bool LoadWorker::stopsAfterImage(const std::string& title, bool moreToLoad, RunState& rs) const {
  if (!stopAfterImage.load() || !moreToLoad || !rs.ok) return false;
  rs.ok = false;
  rs.kind = FailureKind::StoppedByOperator;
  rs.errorText = "Stopped as asked once " + title + " was written: the images after it were not loaded.";
  return true;
}

void LoadWorker::reportImage(const std::string& image, const RunState& rs) const {
  if (rs.ok && !aborted()) return events.imageDone(image, ImageResult::Flashed);
  if (aborted()) return events.imageDone(image, ImageResult::Failed, kAbortedByUser);
  const bool refused = rs.kind == FailureKind::WrongHardware || rs.kind == FailureKind::RefusedByReceiver;
  const ImageResult result = refused ? ImageResult::Refused : rs.imageSent ? ImageResult::Sent : ImageResult::Failed;
  events.imageDone(image, result, rs.errorText);
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
