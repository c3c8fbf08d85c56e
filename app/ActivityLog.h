#pragma once
#include <fstream>
#include <mutex>
#include <string>

// The optional log file of the program: a copy of every text shown in the log box and the page
// texts, framed by a start and a close line with the local date and time. Silent until opened.
// Text is written as UTF-8 with the carriage returns removed and every other control character
// (and any byte that is not UTF-8) shown as U+FFFD, as on the terminal; it is flushed at once, so
// that a crash or a signal loses nothing. Any thread may call it.
class ActivityLog {
 public:
  static ActivityLog& Instance();

  // Closes any open file, then opens path for appending; writes the start line on success.
  void Open(const std::string& path);
  // Writes the close line and closes the file; harmless when closed.
  void Close();
  // Writes text without its carriage returns; does nothing when no file is open.
  void Write(const std::string& text);
  // Each line written after this begins with its local time and zone,
  // "[2026-12-10T09:15:02.123+01:00] ".
  void SetLineTimes(bool on) {
    std::lock_guard<std::mutex> lock(mutex_);
    lineTimes_ = on;
  }
  bool IsOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return file_.is_open() && file_.good();
  }

  // The asctime form of the local time, with its line feed.
  static std::string Timestamp();

 private:
  ActivityLog() = default;
  ~ActivityLog();
  void closeLocked();
  mutable std::mutex mutex_;
  std::string withTimes(const std::string& text);
  std::ofstream file_;
  bool lineTimes_ = false;
  bool atLineStart_ = true;  // the next character written begins a line
};
