#pragma once
#include <cstdint>
#include <string>

#include "FirmwareChange.h"
#include "WizardView.h"

// How an unattended run without a display ended.
struct RunOutcome {
  int exitStatus = 0;  // what the program exits with
  std::string reason;  // "Successfully loaded!", or the last thing the wizard said about the failure
  FirmwareChange firmware;
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
  // The receiver's identity, when a run asked for it (the text echo shows nothing more).
  virtual void identity(const std::string& /*identity*/) {}
  virtual void warning(const std::string& text) = 0;
  // The run is over; nothing follows.
  virtual void finished(const RunOutcome& outcome) = 0;
};
