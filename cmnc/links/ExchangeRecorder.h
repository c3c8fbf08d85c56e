#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace CMNC {

// The file of an exchange recording (docs/recording.md): a header, then one line an event at the
// port boundary, each with the seconds since the recording began (a monotonic clock). Each line is
// on disk when the event returns, so a recording outlives a crash or a pulled cable. Any thread
// (the worker, and the stop's purge from another); lines never interleave.
class ExchangeRecorder {
 public:
  static constexpr int kFormatVersion = 1;

  // Creates (truncating) the file; nullptr with error set when it cannot be written.
  static std::shared_ptr<ExchangeRecorder> create(const std::string& path, std::string& error);
  ~ExchangeRecorder();
  ExchangeRecorder(const ExchangeRecorder&) = delete;
  ExchangeRecorder& operator=(const ExchangeRecorder&) = delete;

  // The header's lines: "program", "link", "port" (masked), each "setting NAME VALUE".
  void header(const std::string& program, const std::string& link, const std::string& port,
              const std::vector<std::pair<std::string, std::string>>& settings);
  // An event: its word and what follows it ("write" and the bytes as hex, "rate 115200", ...).
  void event(const std::string& word, const std::string& rest = "");
  // Bytes as lower-case hexadecimal digits, two a byte.
  static std::string hex(const uint8_t* data, int size);

 private:
  explicit ExchangeRecorder(std::FILE* file);
  void line(const std::string& text);
  std::mutex mutex_;
  std::FILE* file_;
  int64_t originUs_;
};

}  // namespace CMNC
