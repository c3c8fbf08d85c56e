#pragma once
#include <iosfwd>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "LoadRecord.h"

// "--list-history" and "--export-history": the load history's rows, newest first, as a table, a
// JSON array (each row's columns by name, its images nested) or a CSV file.
namespace historylisting {

// Reads the history at path (the station's own place when empty) and writes what query asks.
// Returns the exit status: 0, 1 when the history or the file cannot be read or written.
int run(const HistoryQuery& query, const std::string& path, bool json, std::ostream& out, std::ostream& err);

std::string asTable(const std::vector<LoadRecord>& rows);
std::string asJson(const std::vector<LoadRecord>& rows);
// One header line of the column names, then one line a row; a cell a spreadsheet would take for a
// formula (=, +, -, @, a tab or a carriage return first) is written with a leading apostrophe.
std::string asCsv(const std::vector<LoadRecord>& rows);

}  // namespace historylisting
