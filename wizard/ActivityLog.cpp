#include "ActivityLog.h"

#include <algorithm>
#include <ctime>
#include <stdexcept>

namespace {
bool g_logDestroyed = false;
}

ActivityLog& ActivityLog::Instance() {
  if (g_logDestroyed) throw std::logic_error("Dead Reference Detected");
  static ActivityLog log;
  return log;
}

ActivityLog::~ActivityLog() {
  Close();
  g_logDestroyed = true;
}

std::string ActivityLog::Timestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[64] = {};
  asctime_r(&local, buffer);  // "Sun Dec  6 08:00:00 2026\n"
  return buffer;
}

void ActivityLog::Open(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  closeLocked();
  file_.clear();
  file_.open(path, std::ios::out | std::ios::app | std::ios::binary);
  if (file_.is_open()) file_ << "Log file started " << Timestamp() << std::flush;
}

void ActivityLog::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closeLocked();
}

void ActivityLog::closeLocked() {
  if (!file_.is_open()) return;
  file_.clear();  // a character that failed earlier must not silence the close line
  file_ << "\nLog file closed " << Timestamp();
  file_.close();
}

void ActivityLog::Write(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_.is_open()) return;
  std::string clean = text;
  clean.erase(std::remove(clean.begin(), clean.end(), '\r'), clean.end());
  file_.clear();
  file_ << clean;
  file_.flush();
}
