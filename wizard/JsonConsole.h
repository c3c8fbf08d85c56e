#pragma once
#include <chrono>
#include <functional>
#include <ostream>
#include <string>

#include "ConsoleEcho.h"

// The console echo for scripts ("--json"): one JSON object a line on standard output, each with
// a time stamp and an event. The events and their fields are documented in docs/json-events.md:
//   status   - text appended to the page text          {"text"}
//   log      - text appended to the log box            {"text"}
//   progress - the progress bar moved                  {"percent", "bytes", "total", "rate"}
//   warning  - a warning box                           {"text"}
//   receiver - the receiver told its identity          {"identity"}
//   result   - the run is over                         {"success", "exit_status", "reason", "firmware"}
// Texts are the wizard's own, carriage returns left out. Nothing else is written to the stream.
class JsonConsole final : public ConsoleEcho {
 public:
  using Now = std::function<std::chrono::system_clock::time_point()>;
  explicit JsonConsole(std::ostream& out, Now now = std::chrono::system_clock::now);

  void text(EchoSource source, const std::string& text) override;
  void endLine() override {}
  void progress(int percent) override;
  void transfer(uint64_t done, uint64_t total) override;
  void warning(const std::string& text) override;
  void identity(const std::string& identity) override;
  void finished(const RunOutcome& outcome) override;

  // "2026-12-08T04:10:00.123Z"
  static std::string timeStamp(std::chrono::system_clock::time_point t);

 private:
  void writeEvent(const char* event, const std::string& fields);

  std::ostream& out_;
  Now now_;
  int percent_ = -1;
  uint64_t done_ = 0, total_ = 0;
  std::chrono::steady_clock::time_point transferStart_;
};
