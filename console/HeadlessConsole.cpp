#include "HeadlessConsole.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "ConsoleText.h"
#include "PrintableText.h"

namespace {
std::string kib(uint64_t bytes) {
  char b[32];
  std::snprintf(b, sizeof b, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
  return b;
}
}  // namespace

HeadlessConsole::HeadlessConsole() : HeadlessConsole(std::cout, ::isatty(STDOUT_FILENO) != 0) {}

HeadlessConsole::HeadlessConsole(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}

std::string HeadlessConsole::progressLine(const TransferProgress& p) {
  char head[16];
  std::snprintf(head, sizeof head, "[%3d%%]", std::clamp(p.percent, 0, 100));
  std::string line = head;
  if (p.imageIndex > 0) line += " image " + std::to_string(p.imageIndex) + " of " + std::to_string(p.imageCount) + ",";
  if (p.runTotal > 0) line += " " + kib(p.runBytes) + " of " + kib(p.runTotal);
  if (p.bytesPerSecond > 0) line += ", " + kib(static_cast<uint64_t>(p.bytesPerSecond)) + "/s";
  const std::string left = RunProgress::leftText(p.secondsLeft);
  if (!left.empty() && p.percent < 100) line += ", " + left;
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
  const auto line = [](const std::string& t) { return t.substr(0, t.find_last_not_of('\n') + 1); };
  if (source != lastSource_ && line(shown) == line(lastText_)) {
    lastSource_ = source;  // the same status in the other area: printed once
    return;
  }
  if (source != lastSource_) endLine();
  endProgressLine();
  out_ << shown << std::flush;
  atLineStart_ = shown.back() == '\n';
  lastSource_ = source;
  lastText_ = shown;
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

void HeadlessConsole::finished(const RunOutcome&) { endLine(); }
