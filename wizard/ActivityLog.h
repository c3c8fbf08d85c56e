#pragma once
#include <fstream>
#include <string>

// The optional log file of the program: a copy of every text shown in the log box and the page
// texts, framed by a start and a close line with the local date and time. Silent until opened.
// Text is written as UTF-8 with the carriage returns removed.
class ActivityLog {
 public:
  static ActivityLog& Instance();

  // Closes any open file, then opens path for appending; writes the start line on success.
  void Open(const std::string& path);
  // Writes the close line and closes the file; harmless when closed.
  void Close();
  // Writes text without its carriage returns; does nothing when no file is open.
  void Write(const std::string& text);
  bool IsOpen() const { return file_.is_open() && file_.good(); }

  // The asctime form of the local time, with its line feed.
  static std::string Timestamp();

 private:
  ActivityLog() = default;
  ~ActivityLog();
  std::ofstream file_;
};
