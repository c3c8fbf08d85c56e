#pragma once
#include <chrono>
#include <string>

// Times of the load history: stored as ISO 8601 in UTC with milliseconds,
// "2026-12-09T10:15:02.123Z", which sort as text in time order; shown to a person in the
// station's time zone with its offset, "2026-12-09T11:15:02+01:00".
namespace historyclock {
std::string isoUtc(std::chrono::system_clock::time_point when);
std::string isoUtcNow();

// The instant an operator's text names, as stored text: "today" and "yesterday" (their first
// moment, in the station's time zone), a local date ("2026-12-09") or time ("2026-12-09T10:15",
// "2026-12-09 10:15:02"), or a time with its zone ("...Z", "...+01:00"). Empty when it is none of
// those. now is when "today" is.
std::string instantOf(const std::string& text, std::chrono::system_clock::time_point now);

// A stored time (ISO 8601 UTC) in the station's time zone with its offset, to the second
// ("2026-12-09T11:15:02+01:00"), or to the millisecond; the text as it is when it is no such time.
std::string localIso(const std::string& storedUtc, bool milliseconds = false);
std::string localIso(std::chrono::system_clock::time_point when, bool milliseconds = false);
}  // namespace historyclock
