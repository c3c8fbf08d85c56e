#include "ActivityLog.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "HistoryClock.h"
#include "PathText.h"
#include "PrintableText.h"

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

// "Sun Dec  6 08:00:00 2026\n", as the C library's asctime writes it. Called under the log's lock.
std::string ActivityLog::Timestamp() {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::time_t now = std::time(nullptr);
  const std::tm local = *std::localtime(&now);
  char buffer[64] = {};
  std::snprintf(buffer, sizeof buffer, "%s %s %2d %02d:%02d:%02d %d\n", kDays[local.tm_wday % 7],
                kMonths[local.tm_mon % 12], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                local.tm_year + 1900);
  return buffer;
}

void ActivityLog::Open(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  closeLocked();
  file_.clear();
  file_.open(pathtext::fromUtf8(path), std::ios::out | std::ios::app | std::ios::binary);
  atLineStart_ = true;
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

// The text with the time before each line it begins. Called under the log's lock.
std::string ActivityLog::withTimes(const std::string& text) {
  std::string stamp = "[";  // built by appending: mingw's GCC 12 warns falsely on literal + temporary
  stamp += historyclock::localIso(std::chrono::system_clock::now(), true);
  stamp += "] ";
  std::string stamped;
  for (const char c : text) {
    if (atLineStart_ && c != '\n') stamped += stamp;
    stamped += c;
    atLineStart_ = c == '\n';
  }
  return stamped;
}

void ActivityLog::Write(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_.is_open()) return;
  std::string clean = text;
  clean.erase(std::remove(clean.begin(), clean.end(), '\r'), clean.end());
  if (lineTimes_) clean = withTimes(clean);
  file_.clear();
  // A receiver's text may hold escape sequences: `tail -f` on the log must not pass them on.
  file_ << printable(clean);
  file_.flush();
}
