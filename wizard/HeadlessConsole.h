#pragma once
#include <chrono>
#include <cstdint>
#include <string>

// The wizard's voice when there is no display: texts echoed to standard output, progress as one
// updating line when standard output is a terminal, warnings printed.
class HeadlessConsole {
 public:
  HeadlessConsole();
  void text(const std::string& text);
  void progress(int percent);
  void transfer(uint64_t done, uint64_t total);
  void warning(const std::string& text);
  // Starts a new line unless the output already stands at the start of one.
  void endLine();

  // "[ 45%] 120.0 KiB of 256.0 KiB, 11.2 KiB/s"
  static std::string progressLine(int percent, uint64_t done, uint64_t total, double seconds);

 private:
  void endProgressLine();
  bool terminal_;
  bool progressShown_ = false;
  bool atLineStart_ = true;
  int percent_ = 0;
  uint64_t done_ = 0, total_ = 0;
  std::chrono::steady_clock::time_point transferStart_;
};
