#include "HistoryClock.h"

#include <cctype>
#include <cstdio>

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

std::string isoUtc(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const long long ms = duration_cast<milliseconds>(when.time_since_epoch()).count();
  const long long msPerDay = 86400000;
  const long long days = ms >= 0 ? ms / msPerDay : (ms - msPerDay + 1) / msPerDay;
  const long long inDay = ms - days * msPerDay;
  const CivilDate date = civilFromDays(days);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ", date.year, date.month, date.day,
                inDay / 3600000, inDay / 60000 % 60, inDay / 1000 % 60, inDay % 1000);
  return text;
}

std::string isoUtcNow() { return isoUtc(std::chrono::system_clock::now()); }

std::string normalisedSince(const std::string& text) {
  // The shape of "2026-12-09T10:15:02.123Z": digits where 'd' stands, the other characters as they are.
  static const std::string kShape = "dddd-dd-ddTdd:dd:dd.dddZ";
  if (text.size() < 10 || text.size() > kShape.size()) return {};
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char want = kShape[i];
    const char c = want == 'T' && text[i] == ' ' ? 'T' : text[i];
    if (want == 'd' ? !std::isdigit(static_cast<unsigned char>(c)) : c != want) return {};
  }
  std::string since = text;
  if (since.size() > 10) since[10] = 'T';
  return since;
}

}  // namespace historyclock
