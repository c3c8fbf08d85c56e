#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "RunSink.h"

// Which text area a console echo comes from: the page's text or the log box.
enum class EchoSource { Status, Log };

// How far the whole load is, across its transfers.
struct RunTransfer {
  uint64_t bytes = 0;                  // sent so far
  uint64_t total = 0;                  // to send in all; 0 when not planned
  std::optional<int64_t> secondsLeft;  // at the rate so far; none until known
};

// What an unattended run was asked to do.
struct RunStart {
  std::string port;    // as given, any password left out
  std::string method;  // "soft", "power", "fldp", "data", as /capture names them
  std::string source;
};

// A console's words for a run's events: as text for a person, or as JSON lines for a script. The
// events arrive on the thread that runs the load; each becomes one of the calls below.
class ConsoleEcho : public RunSink {
 public:
  void event(const RunEvent& event) override;

  // A text appended to the page's text (Status) or to the log box (Log).
  virtual void text(EchoSource source, const std::string& text) = 0;
  // A text area was emptied, or a new step began: what follows starts on a new line.
  virtual void endLine() = 0;
  virtual void progress(int percent) = 0;
  // Bytes of the current transfer, for the next progress report.
  virtual void transfer(uint64_t done, uint64_t total) = 0;
  // How far the whole load is, for the next progress report.
  virtual void run(const RunTransfer& /*run*/) {}
  // The run starts: what it was asked to do.
  virtual void started(const RunStart& /*start*/) {}
  // The run entered a stage (the text echo shows the texts that go with it instead).
  virtual void stage(LoadStage /*stage*/, const std::string& /*image*/) {}
  // What the run learned of the receiver so far (the text echo shows nothing more).
  virtual void receiver(const ReceiverFacts& /*facts*/) {}
  virtual void warning(const std::string& text) = 0;
  // The run is over; nothing follows.
  virtual void finished(const RunOutcome& outcome) = 0;

 private:
  void note(const Note& note);
};
