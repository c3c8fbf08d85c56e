#pragma once
#include <chrono>
#include <string>

// Times as the viewer of a page reads them: the history's times (ISO 8601 UTC) at the viewer's
// offset from UTC, which the page's script tells the service in a cookie (minutes east of UTC).
namespace viewerclock {
// The offset a cookie's text gives, within -14 h .. +14 h; 0 when it gives none.
int offsetFrom(const std::string& text);
// "+01:00", "-05:30".
std::string offsetText(int offsetMinutes);
// The viewer's date now, "2026-12-10".
std::string today(std::chrono::system_clock::time_point now, int offsetMinutes);
// Whether text is a date, "YYYY-MM-DD".
bool isDate(const std::string& text);
// The first moment of the viewer's date, and of the day after it, as stored text ("" when date is
// no date).
std::string dayStart(const std::string& date, int offsetMinutes);
std::string dayAfter(const std::string& date, int offsetMinutes);
// A stored time at the viewer's offset, "2026-12-10 09:15:02"; the text as it is when it is none.
std::string shown(const std::string& storedUtc, int offsetMinutes);
// The viewer's hour (0..23) of a stored time; -1 when it is none.
int hourOf(const std::string& storedUtc, int offsetMinutes);
}  // namespace viewerclock
