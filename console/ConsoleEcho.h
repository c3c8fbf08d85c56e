#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "RunSink.h"

// Which text area a console echo comes from: the page's text or the log box.
enum class EchoSource { Status, Log };

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
  // How much is shown: Quiet warnings, errors and the result; Normal what the run does; Verbose
  // each exchange with the receiver summarised too. The window's instructions never.
  enum class Level { Quiet, Normal, Verbose };
  void setLevel(Level level) { level_ = level; }
  Level level() const { return level_; }

  void event(const RunEvent& event) override;

  // A text appended to the page's text (Status) or to the log box (Log).
  virtual void text(EchoSource source, const std::string& text) = 0;
  // A text area was emptied, or a new step began: what follows starts on a new line.
  virtual void endLine() = 0;
  // How far the load is.
  virtual void progress(const TransferProgress& progress) = 0;
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
  bool shows(Severity severity) const;
  Level level_ = Level::Normal;
};
