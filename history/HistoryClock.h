#pragma once
#include <chrono>
#include <string>

// Times of the load history: ISO 8601 in UTC with milliseconds, "2026-12-09T10:15:02.123Z",
// which sort as text in time order.
namespace historyclock {
std::string isoUtc(std::chrono::system_clock::time_point when);
std::string isoUtcNow();
// A date ("2026-12-09") or a time in the form above, or a prefix of one ("2026-12-09T10"), as the
// text that compares with stored times; empty when it is neither.
std::string normalisedSince(const std::string& text);
}  // namespace historyclock
