#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "LoadEvents.h"

// Records every report in order ("status:", "log:", "progress:", "pulse", "succeeded", "failed",
// "warning:") and lets a test wait for the run's outcome.
class RecordingEvents final : public LoadEvents {
 public:
  void report(EngineEvent event) override {
    namespace ev = engineevent;
    if (const auto* n = std::get_if<Note>(&event)) {
      const char* area = n->area == NoteArea::Page ? "status:" : n->area == NoteArea::Log ? "log:" : "warning:";
      add(area + (n->edit == NoteEdit::Clear ? std::string() : n->text));
    } else if (const auto* p = std::get_if<ev::Progress>(&event)) {
      add("progress:" + std::to_string(p->percent));
    } else if (const auto* e = std::get_if<ev::Ended>(&event)) {
      if (e->kind == ev::Ended::Kind::Succeeded) add("succeeded");
      else if (e->kind == ev::Ended::Kind::Failed) add("failed");
      else add("refused:" + e->pageText + "|" + e->logText);
    }
  }

  // Waits until "succeeded", "failed" or "refused" was reported; returns it, or "" on time-out.
  std::string waitOutcome(std::chrono::milliseconds limit = std::chrono::seconds(120)) {
    std::unique_lock<std::mutex> lock(mutex_);
    std::string outcome;
    cv_.wait_for(lock, limit, [&] {
      for (const std::string& e : events_)
        if (e == "succeeded" || e == "failed") outcome = e;
        else if (e.rfind("refused:", 0) == 0) outcome = "refused";
      return !outcome.empty();
    });
    return outcome;
  }
  std::vector<std::string> events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  std::string logText() const { return joined("log:"); }
  std::string statusText() const { return joined("status:"); }
  int count(const std::string& event) const {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (const std::string& e : events_) n += e == event;
    return n;
  }
  bool has(const std::string& event) const { return count(event) > 0; }

 private:
  void add(std::string e) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      events_.push_back(std::move(e));
    }
    cv_.notify_all();
  }
  std::string joined(const std::string& prefix) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string text;
    for (const std::string& e : events_)
      if (e.rfind(prefix, 0) == 0) text += e.substr(prefix.size());
    return text;
  }
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<std::string> events_;
};
