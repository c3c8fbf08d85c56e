#include "ExchangeRecorder.h"

#include <chrono>

namespace CMNC {
namespace {

int64_t monotonicUs() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

std::shared_ptr<ExchangeRecorder> ExchangeRecorder::create(const std::string& path, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    error = "Cannot write the recording " + path + ".";
    return nullptr;
  }
  return std::shared_ptr<ExchangeRecorder>(new ExchangeRecorder(file));
}

ExchangeRecorder::ExchangeRecorder(std::FILE* file) : file_(file), originUs_(monotonicUs()) {
  line("vestrel-recording " + std::to_string(kFormatVersion));
}

ExchangeRecorder::~ExchangeRecorder() { std::fclose(file_); }

void ExchangeRecorder::line(const std::string& text) {
  std::fputs((text + "\n").c_str(), file_);
  std::fflush(file_);
}

void ExchangeRecorder::header(const std::string& program, const std::string& link, const std::string& port,
                              const std::vector<std::pair<std::string, std::string>>& settings) {
  std::lock_guard<std::mutex> lock(mutex_);
  line("program " + program);
  line("link " + link);
  line("port " + port);
  for (const auto& [name, value] : settings) line("setting " + name + " " + value);
}

void ExchangeRecorder::event(const std::string& word, const std::string& rest) {
  const int64_t us = monotonicUs() - originUs_;
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%lld.%06lld ", static_cast<long long>(us / 1000000), static_cast<long long>(us % 1000000));
  std::lock_guard<std::mutex> lock(mutex_);
  line(stamp + word + (rest.empty() ? "" : " " + rest));
}

std::string ExchangeRecorder::hex(const uint8_t* data, int size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(static_cast<std::size_t>(size > 0 ? size : 0) * 2);
  for (int i = 0; i < size; ++i) {
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 0x0F];
  }
  return text;
}

}  // namespace CMNC
