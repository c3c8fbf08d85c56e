#pragma once
#include <string>

#include "FirmwareImageSet.h"
#include "LoadSession.h"
#include "RecordingEvents.h"

// Runs a load exactly as the wizard's loading page starts it: through the engine session.
struct EngineHarness {
  // Scans the source and starts the load; false when the source could not be scanned.
  bool start(const PortEntry& entry, LoadMethod method, SourceKind kind, const std::string& source, int speed = 115200) {
    if (method == LoadMethod::FileUpload) session.channel().setCurrentRate(speed);  // where the port test left it
    error = set.scanSource(source, kind, method != LoadMethod::FileUpload);
    if (!error.empty()) return false;
    LoadRequest request;
    request.port = entry;
    request.method = method;
    request.sourceKind = kind;
    request.speed = static_cast<uint32_t>(speed);
    request.blockSizeChoice = blockSizeChoice;
    return session.startLoad(request, set, events);
  }
  // The whole run: "succeeded", "failed", "refused", or why it did not start.
  std::string run(const PortEntry& entry, LoadMethod method, SourceKind kind, const std::string& source, int speed = 115200) {
    if (!start(entry, method, kind, source, speed)) return "not started: " + error;
    const std::string outcome = events.waitOutcome();
    session.stop();
    return outcome;
  }
  void stop() { session.stop(); }
  LoadSession session;
  FirmwareImageSet set;
  RecordingEvents events;
  std::string error;
  int blockSizeChoice = LoadRequest::kDefaultBlockSizeChoice;
};
