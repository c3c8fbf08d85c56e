#include "ViewerClock.h"

#include <cstdio>
#include <optional>

namespace viewerclock {
namespace {

using std::chrono::minutes;
using std::chrono::seconds;
using std::chrono::sys_days;
using std::chrono::system_clock;
// Times to the second: the system clock's nanoseconds end in 2262, and a date may be up to 9999.
using Instant = std::chrono::sys_seconds;

constexpr int kMaxOffsetMinutes = 14 * 60;

std::optional<sys_days> dateOf(const std::string& text) {
  int y = 0, m = 0, d = 0;
  char end = 0;
  if (text.size() != 10 || std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &end) != 3) return std::nullopt;
  const std::chrono::year_month_day date{std::chrono::year(y), std::chrono::month(static_cast<unsigned>(m)),
                                         std::chrono::day(static_cast<unsigned>(d))};
  if (!date.ok() || y < 1970 || y > 9999) return std::nullopt;
  return sys_days(date);
}

// A stored time to the second.
std::optional<Instant> instantOf(const std::string& stored) {
  if (stored.size() < 20 || stored[10] != 'T' || stored.back() != 'Z') return std::nullopt;
  const auto day = dateOf(stored.substr(0, 10));
  int h = 0, m = 0, s = 0;
  if (!day || std::sscanf(stored.c_str() + 11, "%2d:%2d:%2d", &h, &m, &s) != 3) return std::nullopt;
  return Instant(*day) + std::chrono::hours(h) + minutes(m) + seconds(s);
}

std::string isoUtc(Instant when) {
  const auto day = std::chrono::floor<std::chrono::days>(when);
  const std::chrono::year_month_day date{day};
  const std::chrono::hh_mm_ss time{when - day};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.000Z", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()));
  return text;
}

}  // namespace

int offsetFrom(const std::string& text) {
  if (text.empty() || text.size() > 5) return 0;
  int value = 0;
  char end = 0;
  if (std::sscanf(text.c_str(), "%d%c", &value, &end) != 1) return 0;
  return value < -kMaxOffsetMinutes || value > kMaxOffsetMinutes ? 0 : value;
}

std::string offsetText(int offsetMinutes) {
  char text[24];
  const int magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  std::snprintf(text, sizeof text, "%c%02d:%02d", offsetMinutes < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
  return text;
}

std::string today(system_clock::time_point now, int offsetMinutes) {
  return isoUtc(std::chrono::floor<seconds>(now) + minutes(offsetMinutes)).substr(0, 10);
}

bool isDate(const std::string& text) { return dateOf(text).has_value(); }

std::string dayStart(const std::string& date, int offsetMinutes) {
  const auto day = dateOf(date);
  return day ? isoUtc(Instant(*day) - minutes(offsetMinutes)) : "";
}

std::string dayAfter(const std::string& date, int offsetMinutes) {
  const auto day = dateOf(date);
  return day ? isoUtc(Instant(*day + std::chrono::days(1)) - minutes(offsetMinutes)) : "";
}

std::string shown(const std::string& storedUtc, int offsetMinutes) {
  const auto when = instantOf(storedUtc);
  if (!when) return storedUtc;
  const std::string iso = isoUtc(*when + minutes(offsetMinutes));
  const std::size_t t = iso.find('T');  // a year past 9999 has five digits
  return iso.substr(0, t) + " " + iso.substr(t + 1, 8);
}

int hourOf(const std::string& storedUtc, int offsetMinutes) {
  const auto when = instantOf(storedUtc);
  if (!when) return -1;
  const std::string iso = isoUtc(*when + minutes(offsetMinutes));
  return std::stoi(iso.substr(iso.find('T') + 1, 2));
}

}  // namespace viewerclock
