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

std::string HeadlessConsole::progressLine(int percent, uint64_t done, uint64_t total, double seconds) {
  char head[16];
  std::snprintf(head, sizeof head, "[%3d%%]", std::clamp(percent, 0, 100));
  std::string line = head;
  if (total > 0) {
    line += ' ';
    line += kib(done);
    line += " of ";
    line += kib(total);
    if (seconds > 0.05) {
      line += ", ";
      line += kib(static_cast<uint64_t>(static_cast<double>(done) / seconds));
      line += "/s";
    }
  }
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

void HeadlessConsole::progress(int percent) {
  percent_ = percent;
  if (!terminal_) return;
  if (!progressShown_ && !atLineStart_) out_ << "\n";  // the updating line must not overwrite a text
  atLineStart_ = true;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - transferStart_).count();
  out_ << "\r" << progressLine(percent_, done_, total_, seconds) << (left_.empty() ? "" : ", " + left_) << "\x1b[K"
       << std::flush;
  progressShown_ = true;
}

void HeadlessConsole::transfer(uint64_t done, uint64_t total) {
  if (total != total_ || done < done_) transferStart_ = std::chrono::steady_clock::now();
  done_ = done;
  total_ = total;
}

void HeadlessConsole::warning(const std::string& text) {
  endLine();
  std::string shown = printable(withoutCarriageReturns(text));
  while (!shown.empty() && shown.back() == '\n') shown.pop_back();
  out_ << "Warning: " << shown << "\n" << std::flush;
  lastText_.clear();
}

void HeadlessConsole::finished(const RunOutcome&) { endLine(); }
