#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "HistoryClock.h"

namespace {

// The station's zone for one test: TZ set, and put back as it was.
class StationZone {
 public:
  explicit StationZone(const char* zone) {
    if (const char* was = std::getenv("TZ")) was_ = was;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~StationZone() {
    if (was_) setenv("TZ", was_->c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }

 private:
  std::optional<std::string> was_;
};

}  // namespace

TEST(HistoryClock, TimesAreStoredInUtcAndReadAndShownInTheStationsZone) {
  using namespace std::chrono;
  EXPECT_EQ(historyclock::isoUtc(system_clock::time_point(milliseconds(0))), "1970-01-01T00:00:00.000Z");
  EXPECT_EQ(historyclock::isoUtc(system_clock::time_point(milliseconds(1796811302123LL))), "2026-12-09T10:15:02.123Z");
  EXPECT_EQ(historyclock::isoUtc(system_clock::time_point(milliseconds(951782400000LL))), "2000-02-29T00:00:00.000Z");
  const StationZone berlin("Europe/Berlin");  // +01:00 in winter, +02:00 in summer
  const auto now = system_clock::time_point(milliseconds(1796811302123LL));  // 2026-12-09 11:15 in Berlin
  EXPECT_EQ(historyclock::instantOf("2026-12-09", now), "2026-12-08T23:00:00.000Z");
  EXPECT_EQ(historyclock::instantOf("2026-12-09 10:15", now), "2026-12-09T09:15:00.000Z");
  EXPECT_EQ(historyclock::instantOf("2026-07-01T10:15:02.5", now), "");  // milliseconds take three digits
  EXPECT_EQ(historyclock::instantOf("2026-07-01T10:15:02.500", now), "2026-07-01T08:15:02.500Z");
  EXPECT_EQ(historyclock::instantOf("today", now), "2026-12-08T23:00:00.000Z");
  EXPECT_EQ(historyclock::instantOf("Yesterday", now), "2026-12-07T23:00:00.000Z");
  EXPECT_EQ(historyclock::instantOf("2026-12-09T10:15Z", now), "2026-12-09T10:15:00.000Z");
  EXPECT_EQ(historyclock::instantOf("2026-12-09T10:15-05:30", now), "2026-12-09T15:45:00.000Z");
  // Far beyond the system clock's own range (it counts nanoseconds, and ends in 2262).
  EXPECT_EQ(historyclock::instantOf("2999-01-01T00:00Z", now), "2999-01-01T00:00:00.000Z");
  EXPECT_EQ(historyclock::instantOf("2999-01-01", now), "2998-12-31T23:00:00.000Z");
  // The first of a month: "yesterday" is the month before's last day.
  EXPECT_EQ(historyclock::instantOf("yesterday", system_clock::time_point(milliseconds(1798761600000LL))),
            "2026-12-30T23:00:00.000Z");
  for (const char* bad : {"", "tomorrow", "2026-1-9", "2026-12-09X", "2026-02-29", "2026-12-09T24:00",
                          "2026-12-09T10:15:02.123Z1", "2026-12-09T10:15+1"})
    EXPECT_EQ(historyclock::instantOf(bad, now), "") << bad;
  EXPECT_EQ(historyclock::localIso("2026-12-09T10:15:02.123Z"), "2026-12-09T11:15:02+01:00");
  EXPECT_EQ(historyclock::localIso("2026-07-01T10:15:02.123Z", true), "2026-07-01T12:15:02.123+02:00");
  EXPECT_EQ(historyclock::localIso("not a time"), "not a time");
}

