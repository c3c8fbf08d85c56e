#include "FleetRun.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <cstdio>
#include <cstring>

struct FleetRun::Slot {
  std::unique_ptr<ChildProcess> child;  // the attempt under way, or the last one
  std::string out, err;      // what came after the last line end
  bool outCut = false, errCut = false;  // the line under way was too long: dropped to its end
  bool cutSaid = false;
  std::string lastErrorLine;
  int attempts = 0;
  std::optional<ReceiverState::Clock::time_point> retryAt;  // a failed load waits for its next attempt
  bool running = false;
};

namespace {
using Clock = ReceiverState::Clock;
constexpr std::size_t kReadChunk = 65536;
constexpr int kMaxReadsAtTheEnd = 64;  // a grandchild still writing into the pipe does not hold the fleet
}  // namespace

FleetRun::FleetRun(Settings settings, FleetDisplay& display, ChildWait& wait)
    : settings_(std::move(settings)), display_(display), wait_(wait) {
  for (std::size_t i = 0; i < settings_.ports.size(); ++i) {
    receivers_.emplace_back(settings_.ports[i], settings_.logPaths[i]);
    slots_.push_back(std::make_unique<Slot>());
  }
}

FleetRun::~FleetRun() = default;

void FleetRun::markCurrent(std::size_t index, const std::string& model, const std::string& identity,
                           const std::string& firmware) {
  receivers_[index].foundCurrent(model, identity, firmware, Clock::now());
}

void FleetRun::markRefused(std::size_t index, const std::string& model, const std::string& identity,
                           const std::string& reason) {
  receivers_[index].refused(model, identity, reason, Clock::now());
}

void FleetRun::startChild(std::size_t i) {
  Slot& slot = *slots_[i];
  ++slot.attempts;
  // The fleet's own options first: an operator's option can never take one of them as its value.
  std::vector<std::string> args{"--json", "/port", settings_.ports[i], "/log", settings_.logPaths[i], "/run", "/exit"};
  if (!settings_.expectVersion.empty()) args.insert(args.end(), {"--expect-version", settings_.expectVersion});
  if (!settings_.recordPaths.empty()) args.insert(args.end(), {"--record", settings_.recordPaths[i]});
  if (i < settings_.portArgs.size()) args.insert(args.end(), settings_.portArgs[i].begin(), settings_.portArgs[i].end());
  args.insert(args.end(), settings_.vestrelArgs.begin(), settings_.vestrelArgs.end());
  std::string error;
  slot.child = std::make_unique<ChildProcess>(wait_);
  if (!slot.child->start(settings_.vestrel, args, portnames::childEnvironment(settings_.passwords, settings_.ports[i]), error)) {
    receivers_[i].startFailed(error, Clock::now());
  } else {
    slot.running = true;
    receivers_[i].started(Clock::now(), slot.attempts);
  }
  display_.stageChanged(receivers_[i]);
}

void FleetRun::startNext() {
  const std::size_t limit = settings_.jobs > 0 ? static_cast<std::size_t>(settings_.jobs) : slots_.size();
  auto running = static_cast<std::size_t>(std::count_if(slots_.begin(), slots_.end(), [](const auto& s) { return s->running; }));
  startDueRetries(running, limit);
  while (!stopSignal_ && next_ < slots_.size() && running < limit) {
    const std::size_t i = next_++;
    if (receivers_[i].ended()) continue;  // current: nothing to load
    startChild(i);
    if (slots_[i]->running) ++running;
  }
}

void FleetRun::scheduleRetry(std::size_t i) {
  Slot& slot = *slots_[i];
  const ReceiverState& r = receivers_[i];
  // Not after a stop, a refusal (nothing could start) or bad usage: those end the same every time.
  const std::string outcome = r.outcome();
  if (stopSignal_ || r.stage() != Stage::Failed || slot.attempts > settings_.retries || outcome == "refused" ||
      outcome == "aborted" || r.exitStatus() == 2)
    return;
  slot.retryAt = Clock::now() + std::chrono::milliseconds(kRetryPauseMs);
  std::ofstream log(settings_.logPaths[i], std::ios::app);
  log << "\n=== vestrel-fleet: attempt " << slot.attempts << " of " << settings_.retries + 1 << " failed: " << r.reason()
      << "; attempt " << slot.attempts + 1 << " in " << kRetryPauseMs / 1000 << " s ===\n";
  if (settings_.bootLoaderMethod)
    log << "If the receiver stays in its boot loader, switch it off and on and load it with Power On Capture.\n";
}

void FleetRun::startDueRetries(std::size_t& running, std::size_t limit) {
  for (std::size_t i = 0; i < slots_.size() && running < limit && !stopSignal_; ++i) {
    Slot& slot = *slots_[i];
    if (!slot.retryAt || Clock::now() < *slot.retryAt) continue;
    slot.retryAt.reset();
    startChild(i);
    if (slot.running) ++running;
  }
}

void FleetRun::lineFrom(std::size_t index, const std::string& line, bool errorStream) {
  if (errorStream) {
    if (!line.empty()) slots_[index]->lastErrorLine = line;
    return;
  }
  if (receivers_[index].applyLine(line)) display_.stageChanged(receivers_[index]);
}

void FleetRun::readFrom(std::size_t index, ChildProcess::Stream stream, Reading reading) {
  Slot& slot = *slots_[index];
  const bool errorStream = stream == ChildProcess::Stream::Err;
  std::string& pending = errorStream ? slot.err : slot.out;
  bool& cut = errorStream ? slot.errCut : slot.outCut;
  char buffer[kReadChunk];
  const int reads = reading == Reading::Once ? 1 : kMaxReadsAtTheEnd;
  for (int done = 0; done < reads && slot.child && slot.child->isOpen(stream); ++done) {
    std::size_t n = 0;
    const ChildProcess::Read got = slot.child->read(stream, buffer, sizeof buffer, n);
    if (got == ChildProcess::Read::Nothing) return;  // nothing more for now
    if (got == ChildProcess::Read::Ended) {
      slot.child->close(stream);
      if (!pending.empty() && !cut) lineFrom(index, pending, errorStream);  // a last line without its end
      pending.clear();
      cut = false;
      return;
    }
    // The line end is looked for in the new bytes only; a line longer than the cap is cut there,
    // the rest of it dropped up to its end.
    const char* at = buffer;
    const char* const end = buffer + n;
    while (at < end) {
      const char* newline = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
      const char* stop = newline ? newline : end;
      if (!cut) {
        const std::size_t room = kMaxLineBytes - pending.size();
        const std::size_t piece = static_cast<std::size_t>(stop - at);
        pending.append(at, std::min(piece, room));
        if (piece > room) {
          cut = true;
          if (!slot.cutSaid) std::fprintf(stderr, "vestrel-fleet: %s: a line longer than %zu bytes was cut\n",
                                          receivers_[index].shownPort().c_str(), kMaxLineBytes);
          slot.cutSaid = true;
          pending.clear();
        }
      }
      if (!newline) break;
      if (!cut) {
        if (!pending.empty() && pending.back() == '\r') pending.pop_back();
        lineFrom(index, pending, errorStream);
      }
      pending.clear();
      cut = false;
      at = newline + 1;
    }
  }
}

void FleetRun::reapEnded() {
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    Slot& slot = *slots_[i];
    ChildExit exit;
    if (!slot.running || !slot.child->reap(exit)) continue;
    // What the child wrote before it ended may still be in the pipes (a grandchild holding them
    // open would not keep the fleet waiting: they are read a bounded number of times and closed).
    readFrom(i, ChildProcess::Stream::Out, Reading::ToTheEnd);
    readFrom(i, ChildProcess::Stream::Err, Reading::ToTheEnd);
    slot.child->close(ChildProcess::Stream::Out);
    slot.child->close(ChildProcess::Stream::Err);
    slot.running = false;
    receivers_[i].childEnded(exit, slot.lastErrorLine, Clock::now());
    scheduleRetry(i);
    display_.stageChanged(receivers_[i]);
  }
}

void FleetRun::stop(int signal) {
  if (!stopSignal_) {
    stopSignal_ = signal;
    stopDeadline_ = Clock::now() + std::chrono::milliseconds(kStopGraceMs);
    for (std::size_t i = next_; i < receivers_.size(); ++i) {
      receivers_[i].startFailed("not started: the fleet was stopped", Clock::now());
      display_.stageChanged(receivers_[i]);
    }
    next_ = receivers_.size();
  }
  // Each child stops as vestrel does on the signal: the run aborted, the log closed.
  for (const auto& slot : slots_)
    if (slot->running) slot->child->stop(signal);
}

int FleetRun::run() {
  start_ = Clock::now();
  auto lastRefresh = Clock::now();
  display_.refresh(receivers_);
  for (;;) {
    startNext();
    reapEnded();
    startNext();
    const bool anyRunning = std::any_of(slots_.begin(), slots_.end(), [this](const auto& s) {
      return s->running || (s->retryAt && !stopSignal_);
    });
    if (!anyRunning && next_ >= slots_.size()) break;
    if (stopSignal_ && Clock::now() > stopDeadline_)
      for (const auto& slot : slots_)
        if (slot->running) slot->child->kill();  // a child that does not stop
    std::vector<const ChildProcess*> children;
    for (const auto& slot : slots_)
      if (slot->running) children.push_back(slot->child.get());
    // A child's end is seen by its pipes closing or, for one that closed them early, by the
    // time-out's next reap.
    wait_.wait(children, kRefreshMs);
    if (const int signal = wait_.takeSignal()) stop(signal);
    for (std::size_t i = 0; i < slots_.size(); ++i) {
      if (!slots_[i]->running) continue;
      readFrom(i, ChildProcess::Stream::Out);
      readFrom(i, ChildProcess::Stream::Err);
    }
    if (Clock::now() - lastRefresh >= std::chrono::milliseconds(kRefreshMs)) {
      display_.refresh(receivers_);
      lastRefresh = Clock::now();
    }
  }
  display_.refresh(receivers_);
  return exitStatus();
}

int FleetRun::exitStatus() const {
  if (stopSignal_) return 128 + stopSignal_;
  const bool allowUnconfirmed = settings_.allowUnconfirmed;
  if (std::all_of(receivers_.begin(), receivers_.end(),
                  [allowUnconfirmed](const ReceiverState& r) {
                    return r.loaded() || r.current() || (allowUnconfirmed && r.unconfirmed());
                  }))
    return 0;
  if (std::all_of(receivers_.begin(), receivers_.end(), [](const ReceiverState& r) { return r.exitStatus() == 2; }))
    return 2;  // every child refused the options: a usage error
  return 1;
}
