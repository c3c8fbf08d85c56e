#include "HistoryClock.h"

#include <cctype>
#include <cstdio>
#include <ctime>

#include "LocalTime.h"

namespace historyclock {
namespace {

struct CivilDate {
  long long year;
  unsigned month, day;
};

// The proleptic Gregorian date of a count of days since 1970-01-01.
CivilDate civilFromDays(long long days) {
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
  const unsigned day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  const unsigned month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  return {static_cast<long long>(yearOfEra) + era * 400 + (month <= 2), month, day};
}

}  // namespace

namespace {

// Times are carried as milliseconds since 1970 here: the system clock's own unit (nanoseconds)
// ends in 2262, before the dates an operator may type.
std::string isoUtcOfMillis(long long ms) {
  const long long msPerDay = 86400000;
  const long long days = ms >= 0 ? ms / msPerDay : (ms - msPerDay + 1) / msPerDay;
  const long long inDay = ms - days * msPerDay;
  const CivilDate date = civilFromDays(days);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ", date.year, date.month, date.day,
                inDay / 3600000, inDay / 60000 % 60, inDay / 1000 % 60, inDay % 1000);
  return text;
}

long long millisOf(std::chrono::system_clock::time_point when) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
}

}  // namespace

std::string isoUtc(std::chrono::system_clock::time_point when) { return isoUtcOfMillis(millisOf(when)); }

std::string isoUtcNow() { return isoUtc(std::chrono::system_clock::now()); }

namespace {

long long daysFromCivil(long long year, unsigned month, unsigned day) {
  year -= month <= 2;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

unsigned daysInMonth(long long year, unsigned month) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// A text read from its start: digits, and the characters between them.
class Reader {
 public:
  explicit Reader(const std::string& text) : text_(text) {}
  bool number(std::size_t digits, int& value) {
    if (pos_ + digits > text_.size()) return false;
    value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
      const char c = text_[pos_ + i];
      if (!std::isdigit(static_cast<unsigned char>(c))) return false;
      value = value * 10 + (c - '0');
    }
    pos_ += digits;
    return true;
  }
  bool take(char c) {
    if (pos_ >= text_.size() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }
  bool atEnd() const { return pos_ == text_.size(); }
  char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }

 private:
  const std::string& text_;
  std::size_t pos_ = 0;
};

struct Civil {
  int year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0, millis = 0;
  bool zoned = false;    // a zone was written: offsetMinutes holds it
  int offsetMinutes = 0; // east of UTC
};

bool readClock(Reader& in, Civil& civil) {
  if (!in.number(2, civil.hour) || civil.hour > 23) return false;
  if (!in.take(':')) return true;
  if (!in.number(2, civil.minute) || civil.minute > 59) return false;
  if (!in.take(':')) return true;
  if (!in.number(2, civil.second) || civil.second > 59) return false;
  if (!in.take('.')) return true;
  return in.number(3, civil.millis);
}

bool readZone(Reader& in, Civil& civil) {
  if (in.atEnd()) return true;
  civil.zoned = true;
  if (in.take('Z') || in.take('z')) return in.atEnd();
  const int sign = in.take('+') ? 1 : in.take('-') ? -1 : 0;
  int hours = 0, minutes = 0;
  if (sign == 0 || !in.number(2, hours) || hours > 14) return false;
  in.take(':');
  if (!in.number(2, minutes) || minutes > 59) return false;
  civil.offsetMinutes = sign * (hours * 60 + minutes);
  return in.atEnd();
}

bool readCivil(const std::string& text, Civil& civil) {
  Reader in(text);
  if (!in.number(4, civil.year) || !in.take('-') || !in.number(2, civil.month) || !in.take('-') ||
      !in.number(2, civil.day))
    return false;
  if (civil.month < 1 || civil.month > 12 || civil.day < 1 ||
      civil.day > static_cast<int>(daysInMonth(civil.year, static_cast<unsigned>(civil.month))))
    return false;
  if ((in.take('T') || in.take('t') || in.take(' ')) && !readClock(in, civil)) return false;
  return readZone(in, civil);
}

// The instant of a civil time: in its written zone, else in the station's.
bool instantOfCivil(const Civil& civil, long long& ms) {
  const long long clock = civil.hour * 3600LL + civil.minute * 60LL + civil.second;
  if (civil.zoned) {
    const long long days = daysFromCivil(civil.year, static_cast<unsigned>(civil.month), static_cast<unsigned>(civil.day));
    ms = (days * 86400 + clock - civil.offsetMinutes * 60LL) * 1000 + civil.millis;
    return true;
  }
  std::tm local{};
  local.tm_year = civil.year - 1900;
  local.tm_mon = civil.month - 1;
  local.tm_mday = civil.day;
  local.tm_hour = civil.hour;
  local.tm_min = civil.minute;
  local.tm_sec = civil.second;
  const std::time_t instant = stationtime::instantOf(local);
  if (instant == static_cast<std::time_t>(-1)) return false;
  ms = static_cast<long long>(instant) * 1000 + civil.millis;
  return true;
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string instantOf(const std::string& text, std::chrono::system_clock::time_point now) {
  using namespace std::chrono;
  const std::string word = lower(text);
  Civil civil;
  if (word == "today" || word == "yesterday") {
    std::tm local{};
    if (!stationtime::civilOf(system_clock::to_time_t(now), local)) return {};
    civil.year = local.tm_year + 1900;
    civil.month = local.tm_mon + 1;
    civil.day = local.tm_mday - (word == "yesterday");  // day 0 is the month before's last: mktime knows
  } else if (!readCivil(text, civil)) {
    return {};
  }
  long long ms = 0;
  return instantOfCivil(civil, ms) ? isoUtcOfMillis(ms) : std::string();
}

namespace {

std::string localIsoOfMillis(long long ms, bool milliseconds) {
  const long long seconds = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
  std::tm local{};
  if (!stationtime::civilOf(static_cast<std::time_t>(seconds), local)) return isoUtcOfMillis(ms);
  const long long localSeconds =
      daysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1), static_cast<unsigned>(local.tm_mday)) * 86400 +
      local.tm_hour * 3600LL + local.tm_min * 60LL + local.tm_sec;
  const long long offset = (localSeconds - seconds) / 60;
  const long long absOffset = offset < 0 ? -offset : offset;
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec);
  std::string shown = text;
  if (milliseconds) {
    std::snprintf(text, sizeof text, ".%03lld", ms - seconds * 1000);
    shown += text;
  }
  std::snprintf(text, sizeof text, "%c%02lld:%02lld", offset < 0 ? '-' : '+', absOffset / 60, absOffset % 60);
  return shown + text;
}

}  // namespace

std::string localIso(std::chrono::system_clock::time_point when, bool milliseconds) {
  return localIsoOfMillis(millisOf(when), milliseconds);
}

std::string localIso(const std::string& storedUtc, bool milliseconds) {
  Civil civil;
  long long ms = 0;
  if (!readCivil(storedUtc, civil) || !civil.zoned || !instantOfCivil(civil, ms)) return storedUtc;
  return localIsoOfMillis(ms, milliseconds);
}

}  // namespace historyclock
