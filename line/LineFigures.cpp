#include "LineFigures.h"

#include <cstdio>

#include "ViewerClock.h"

LineFigures LineFigures::of(const std::vector<LoadRecord>& rows, int offsetMinutes) {
  LineFigures figures;
  std::map<std::string, const LoadRecord*> firstOf;  // each receiver's first load in the period
  for (const LoadRecord& row : rows) {
    ++figures.loads;
    ++figures.perStation[row.station.empty() ? "(unknown)" : row.station];
    if (const int hour = viewerclock::hourOf(row.startedAt, offsetMinutes); hour >= 0) ++figures.perHour[hour];
    if (!row.outcome.empty() && row.outcome != "confirmed")
      ++figures.failuresByKind[row.failureKind.empty() ? row.outcome : row.failureKind];
    if (row.receiverId.empty()) continue;
    const LoadRecord*& first = firstOf[row.receiverId];
    if (!first || row.startedAt < first->startedAt) first = &row;
  }
  figures.receivers = static_cast<int>(firstOf.size());
  for (const auto& [id, first] : firstOf)
    if (first->outcome == "confirmed") ++figures.firstPassed;
  return figures;
}

std::string LineFigures::yieldText() const {
  if (receivers == 0) return "-";
  char text[16];
  std::snprintf(text, sizeof text, "%.1f %%", 100.0 * firstPassed / receivers);
  return text;
}
