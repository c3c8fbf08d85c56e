#include "HeadlessConsole.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <iostream>

#include "ConsoleText.h"
#include "PrintableText.h"

HeadlessConsole::HeadlessConsole() : HeadlessConsole(std::cout, ::isatty(STDOUT_FILENO) != 0) {}

HeadlessConsole::HeadlessConsole(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}

std::string HeadlessConsole::progressLine(const TransferProgress& p) {
  char head[16];
  std::snprintf(head, sizeof head, "[%3d%%]", std::clamp(p.percent, 0, 100));
  // Built by appending: mingw's GCC 12 warns falsely on a literal added to a temporary here.
  std::string line = head;
  const auto add = [&line](std::initializer_list<std::string> parts) {
    for (const std::string& part : parts) line.append(part);
  };
  if (p.imageIndex > 0) add({" image ", std::to_string(p.imageIndex), " of ", std::to_string(p.imageCount), ","});
  if (p.runTotal > 0) add({" ", RunProgress::kibText(p.runBytes), " of ", RunProgress::kibText(p.runTotal)});
  if (p.bytesPerSecond > 0) add({", ", RunProgress::kibText(static_cast<uint64_t>(p.bytesPerSecond)), "/s"});
  const std::string left = RunProgress::leftText(p.secondsLeft);
  if (!left.empty() && p.percent < 100) add({", ", left});
  return line;
}

void HeadlessConsole::endProgressLine() {
  if (progressShown_) {
    out_ << "\n";
    atLineStart_ = true;
  }
  progressShown_ = false;
}

void HeadlessConsole::endLine() {
  endProgressLine();
  if (!atLineStart_) out_ << "\n" << std::flush;
  atLineStart_ = true;
}

void HeadlessConsole::text(EchoSource source, const std::string& text) {
  const std::string shown = printable(withoutCarriageReturns(text));
  if (shown.empty()) return;
  const auto line = [](const std::string& t) {
    const std::size_t first = t.find_first_not_of('\n');
    return first == std::string::npos ? std::string() : t.substr(first, t.find_last_not_of('\n') - first + 1);
  };
  if (source != lastSource_ && line(shown) == line(lastText_)) {
    lastSource_ = source;  // the same status in the other area: printed once
    return;
  }
  // Each message on a line of its own; the dots a step prints while it tries go on its line.
  if (shown.find_first_not_of('.') == std::string::npos && source == lastSource_) {
    endProgressLine();
    out_ << shown << std::flush;
    atLineStart_ = false;
    return;
  }
  endLine();
  const std::string lines = line(shown);
  lastSource_ = source;
  lastText_ = shown;
  if (lines.empty()) return;
  // A text that does not end its line stays open for the dots that may follow ("Trying 115200"
  // then "..."); any other text starts a line of its own.
  const bool open = shown.back() != '\n';
  out_ << lines << (open ? "" : "\n") << std::flush;
  atLineStart_ = !open;
}

void HeadlessConsole::progress(const TransferProgress& p) {
  if (!terminal_) return;
  if (!progressShown_ && !atLineStart_) out_ << "\n";  // the updating line must not overwrite a text
  atLineStart_ = true;
  out_ << "\r" << progressLine(p) << "\x1b[K" << std::flush;
  progressShown_ = true;
}

void HeadlessConsole::warning(const std::string& text) {
  endLine();
  std::string shown = printable(withoutCarriageReturns(text));
  while (!shown.empty() && shown.back() == '\n') shown.pop_back();
  out_ << "Warning: " << shown << "\n" << std::flush;
  lastText_.clear();
}

void HeadlessConsole::finished(const RunOutcome& outcome) {
  endLine();
  if (level() != Level::Quiet) return;
  // Quiet: the result is the one line printed besides warnings and errors.
  const std::string images = imagesSummary(outcome.images);
  out_ << printable(outcome.reason) << (images.empty() ? "" : " (" + images + ")") << "\n" << std::flush;
}
