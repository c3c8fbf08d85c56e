#pragma once
#include <chrono>
#include <map>
#include <string>

#include "LoadRecord.h"

// What a page of loads asks for, from its URL's query: the period (the viewer's dates, from and to
// both included; today when none is given), and the station, outcome, receiver id, firmware and
// work order to keep. Every value is checked: a date that is none, an outcome the history does not
// know or a text longer than kMaxTextBytes or with a control character is refused with why.
struct LineQuery {
  static constexpr std::size_t kMaxTextBytes = 128;
  static constexpr int kMaxRows = 5000;  // a page shows at most this many loads

  std::string from;  // "2026-12-10", the viewer's date
  std::string to;
  std::string station;
  std::string outcome;
  std::string receiver;
  std::string firmware;
  std::string workOrder;
  bool cut = false;  // more loads met the filter than a page shows

  // Reads params; false with error set when a value cannot be taken.
  static bool read(const std::multimap<std::string, std::string>& params, std::chrono::system_clock::time_point now,
                   int offsetMinutes, LineQuery& query, std::string& error);
  // The history's filter for the period at the viewer's offset.
  HistoryFilter filter(int offsetMinutes) const;
  // The query again, as a URL's ("from=...&to=..."), for the CSV of the same loads.
  std::string urlQuery() const;
};
