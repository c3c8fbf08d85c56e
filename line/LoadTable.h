#pragma once
#include <string>
#include <vector>

#include "LoadRecord.h"

// The columns of a list of loads, as a page shows them and as its CSV holds them: the same texts,
// times at the viewer's offset.
namespace loadtable {
const std::vector<std::string>& headings();
std::vector<std::string> cells(const LoadRecord& row, int offsetMinutes);
// The outcome as a person reads it: "failed (link_lost)".
std::string outcomeText(const LoadRecord& row);
// The rows as CSV, a heading line first, lines ending in CR LF.
std::string csv(const std::vector<LoadRecord>& rows, int offsetMinutes);
}  // namespace loadtable
