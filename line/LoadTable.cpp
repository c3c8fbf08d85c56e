#include "LoadTable.h"

#include "CsvCell.h"
#include "ViewerClock.h"

namespace loadtable {

const std::vector<std::string>& headings() {
  static const std::vector<std::string> kHeadings = {"Started",        "Station",  "Port",          "Receiver",
                                                     "Model",          "Firmware before", "Firmware after",
                                                     "Outcome",        "Work order", "Source"};
  return kHeadings;
}

std::string outcomeText(const LoadRecord& row) {
  const std::string outcome = row.outcome.empty() ? "running" : row.outcome;
  return row.failureKind.empty() ? outcome : outcome + " (" + row.failureKind + ")";
}

std::vector<std::string> cells(const LoadRecord& row, int offsetMinutes) {
  return {viewerclock::shown(row.startedAt, offsetMinutes),
          row.station,
          row.port,
          row.receiverId,
          row.receiverModel,
          row.firmwareBefore,
          row.firmwareAfter,
          outcomeText(row),
          row.workOrder,
          row.source};
}

std::string csv(const std::vector<LoadRecord>& rows, int offsetMinutes) {
  auto line = [](const std::vector<std::string>& values) {
    std::string text;
    for (const std::string& value : values) {
      if (!text.empty()) text += ',';
      text += csvcell::of(value);
    }
    return text + "\r\n";
  };
  std::string text = line(headings());
  for (const LoadRecord& row : rows) text += line(cells(row, offsetMinutes));
  return text;
}

}  // namespace loadtable
