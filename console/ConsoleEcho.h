#pragma once
#include <cstdint>
#include <string>

#include "RunOutcome.h"
#include "WizardView.h"

// What an unattended run was asked to do.
struct RunStart {
  std::string port;    // as given, any password left out
  std::string method;  // "soft", "power", "fldp", "data", as /capture names them
  std::string source;
};

// Where a console front end sends what the wizard shows: as text for a person, or as JSON lines
// for a script. Every call comes from the front end's thread.
class ConsoleEcho {
 public:
  virtual ~ConsoleEcho() = default;
  // A text appended to the page text (Status) or to the log box (Log).
  virtual void text(EchoSource source, const std::string& text) = 0;
  // The wizard cleared a text area: what follows starts on a new line.
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
};
