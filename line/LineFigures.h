#pragma once
#include <map>
#include <string>
#include <vector>

#include "LoadRecord.h"

// A period's figures: loads per station and per hour of the viewer's day, the first-pass yield
// (of the receivers loaded in the period, those whose first load in it was confirmed) and the
// failures by their kind.
struct LineFigures {
  int loads = 0;
  std::map<std::string, int> perStation;
  int perHour[24] = {};
  int receivers = 0;       // receivers with an identity that were loaded
  int firstPassed = 0;     // of them, confirmed at their first load
  std::map<std::string, int> failuresByKind;  // loads that did not end confirmed, by their kind

  static LineFigures of(const std::vector<LoadRecord>& rows, int offsetMinutes);
  // The yield in percent with one decimal, "97.5 %"; "-" when no receiver was loaded.
  std::string yieldText() const;
};
