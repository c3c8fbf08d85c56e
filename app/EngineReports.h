#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "LoadEvents.h"

class LoadRun;

// The engine's reports of one engine run, from its worker thread, queued in order onto the run's
// thread and handed to the LoadRun there. A report that changes the page (its text, progress, the
// stage) is dropped once its run was stopped: the worker's last reports are still queued when the
// stop returns; log lines still arrive.
class EngineReports final : public LoadEvents {
 public:
  // post queues work onto the run's thread; any thread may call it.
  using Post = std::function<void(std::function<void()>)>;
  EngineReports(LoadRun& run, Post post, uint64_t serial) : run_(run), post_(std::move(post)), serial_(serial) {}

  void appendStatus(const std::string& text) override;
  void replaceStatus(const std::string& text) override;
  void appendLog(const std::string& text) override;
  void setProgress(int percent) override;
  void pulse() override;
  void loadSucceeded() override;
  void loadAborted() override;
  void startRefused(const std::string& pageText, const std::string& logText) override;
  void showWarning(const std::string& text) override;
  void runPlanned(uint64_t totalBytes) override;
  void transferProgress(uint64_t done, uint64_t total) override;
  void receiverIdentified(const std::string& identity) override;
  void hardwareReported(const std::string& version) override;
  void stageChanged(LoadStage stage, const std::string& image) override;
  void failureReason(const std::string& reason) override;

 private:
  template <typename Report>
  void post(Report report);
  template <typename Report>
  void postPageReport(Report report);

  LoadRun& run_;
  Post post_;
  uint64_t serial_;
};
