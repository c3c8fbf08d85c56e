#pragma once
#include <chrono>
#include <functional>
#include <ostream>
#include <string>

#include "ConsoleEcho.h"
#include "JsonEvents.h"

// The console echo for scripts ("--json"): one JSON object a line on standard output, each with
// a time stamp and an event. The events and their fields are documented in docs/json-events.md:
//   start    - the run starts (always the first line)  {"schema", "version", "port", "method", "source"}
//   stage    - the run entered a stage                 {"stage", "image"}
//   status   - text appended to the page text          {"text"}
//   log      - text appended to the log box            {"text"}
//   progress - the load moved on                       {"percent", "image", "image_index", "image_count",
//              "image_percent", "bytes", "total", "run_bytes", "run_total", "rate", "eta_s"}
//   warning  - a warning box                           {"text"}
//   receiver - what the run learned of the receiver    {"identity", "model", "hardware", "firmware_before"}
//   result   - the run is over (always the last line)  {"success", "exit_status", "reason", "firmware",
//              "outcome", "stage", "port", "receiver", "images", "failure", "source_sha256", "history_id"}
// Texts are the wizard's own, carriage returns left out. Nothing else is written to the stream.
class JsonConsole final : public ConsoleEcho {
 public:
  using Now = std::function<std::chrono::system_clock::time_point()>;
  explicit JsonConsole(std::ostream& out, Now now = std::chrono::system_clock::now);

  void text(EchoSource source, const std::string& text) override;
  void endLine() override {}
  void progress(const TransferProgress& progress) override;
  void warning(const std::string& text) override;
  void started(const RunStart& start) override;
  void stage(LoadStage stage, const std::string& image) override;
  void receiver(const ReceiverFacts& facts) override;
  void finished(const RunOutcome& outcome) override;

  // "2026-12-08T04:10:00.123Z"
  static std::string timeStamp(std::chrono::system_clock::time_point t);
 private:
  void writeEvent(const char* event, jsonevents::Json fields);

  std::ostream& out_;
  Now now_;
  int percent_ = -1, imagePercent_ = -1, imageIndex_ = -1;
  jsonevents::Json lastReceiver_;  // the fields of the last receiver event: one event a change
};
