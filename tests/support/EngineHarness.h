#pragma once
#include <memory>
#include <string>
#include <thread>

#include "CommandChannel.h"
#include "FirmwareImageSet.h"
#include "LoadWorker.h"
#include "RecordingEvents.h"

// Runs the load driver the way the wizard's loading page starts it.
struct EngineHarness {
  // Prepares the link for the method (reset command, loading speed) and starts the worker.
  bool start(const PortEntry& entry, LoadMethod method, SourceKind kind, const std::string& source, int speed = 115200) {
    if (method == LoadMethod::FileUpload) channel.setCurrentRate(speed);  // where the port test left it
    if (!channel.Connect(entry)) return false;
    error = set.scanSource(source, kind, method != LoadMethod::FileUpload);
    if (!error.empty()) return false;
    if (method == LoadMethod::SoftBreakCapture) {
      channel.Purge(12);
      channel.SendText("\nset,reset,yes\n");
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    if (method != LoadMethod::FileUpload && !channel.SetRate(speed, true)) return false;
    LoadJob job;
    job.method = method;
    job.directUpload = method == LoadMethod::FileUpload;
    worker = std::make_unique<LoadWorker>(&channel, method, false, kind, &set, nullptr, job, events);
    if (method == LoadMethod::FileUpload) {
      worker->directUpload = true;
      worker->blockSize = blockSize;
      worker->putTimeout = entry.kind == ConnectionKind::Serial ? 20 : 60;
    }
    worker->resume();
    return true;
  }
  std::string run(const PortEntry& entry, LoadMethod method, SourceKind kind, const std::string& source, int speed = 115200) {
    if (!start(entry, method, kind, source, speed)) return "not started: " + error + channel.lastError();
    const std::string outcome = events.waitOutcome();
    worker->stop();
    return outcome;
  }
  CommandChannel channel;
  FirmwareImageSet set;
  RecordingEvents events;
  std::unique_ptr<LoadWorker> worker;
  std::string error;
  int blockSize = 2048;
};
