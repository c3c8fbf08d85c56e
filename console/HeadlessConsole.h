#pragma once
#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

#include "ConsoleEcho.h"
#include "RunProgress.h"

// The wizard's voice when there is no display: texts echoed to standard output, progress as one
// updating line when standard output is a terminal, warnings printed. Every line ends with a line
// feed; a text shown in both the page text and the log box one right after the other is printed
// once, and a text from the other area starts on a line of its own.
class HeadlessConsole final : public ConsoleEcho {
 public:
  HeadlessConsole();
  // For tests: writes to out, which is a terminal when terminal is true.
  HeadlessConsole(std::ostream& out, bool terminal);

  void text(EchoSource source, const std::string& text) override;
  void endLine() override;
  void progress(const TransferProgress& progress) override;
  void warning(const std::string& text) override;
  void finished(const RunOutcome& outcome) override;

  // "[ 45%] image 2 of 4, 120.0 KiB of 256.0 KiB, 11.2 KiB/s, about 3 min left": the whole load.
  static std::string progressLine(const TransferProgress& progress);

 private:
  void endProgressLine();
  std::ostream& out_;
  bool terminal_;
  bool progressShown_ = false;
  bool atLineStart_ = true;
  EchoSource lastSource_ = EchoSource::Status;
  std::string lastText_;  // the last text printed, to print a doubled status text once
};
