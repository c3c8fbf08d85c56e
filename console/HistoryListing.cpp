#include "HistoryListing.h"

#include <algorithm>
#include <ostream>

#include "CsvCell.h"
#include "HistoryClock.h"
#include "JsonEvents.h"
#include "HistoryUrl.h"
#include "LoadHistory.h"
#include "PendingRows.h"
#include "ServerRows.h"
#include "ReplacedFile.h"
#include "PathText.h"
#include "PrintableText.h"
#include "Station.h"

namespace historylisting {
namespace {

// The row's outcome as shown: a run still going has none yet.
std::string shownOutcome(const LoadRecord& row) { return row.outcome.empty() ? "running" : row.outcome; }

std::string imagesText(const LoadRecord& row) {
  std::string text;
  for (const RecordedImage& image : row.images) {
    if (!text.empty()) text += "; ";
    text += image.file + " (" + std::to_string(image.size) + " bytes, sha256 " + image.sha256 +
            (image.result.empty() ? "" : ", " + image.result) + ")";
  }
  return text;
}

// Every column by its name, in the table's order, as text.
std::vector<std::pair<const char*, std::string>> columnsOf(const LoadRecord& row) {
  return {{"id", row.id},
          {"started_at", row.startedAt},
          {"finished_at", row.finishedAt},
          {"station", row.station},
          {"pid", std::to_string(row.pid)},
          {"tool_version", row.toolVersion},
          {"command_line", row.commandLine},
          {"port", row.port},
          {"link", row.link},
          {"method", row.method},
          {"source", row.source},
          {"source_sha256", row.sourceSha256},
          {"receiver_model", row.receiverModel},
          {"receiver_id", row.receiverId},
          {"receiver_hardware", row.receiverHardware},
          {"firmware_before", row.firmwareBefore},
          {"firmware_after", row.firmwareAfter},
          {"outcome", shownOutcome(row)},
          {"stage", row.stage},
          {"exit_status", row.exitStatus ? std::to_string(*row.exitStatus) : ""},
          {"reason", row.reason},
          {"failure_kind", row.failureKind},
          {"log_path", row.logPath},
          {"pending", row.pending ? "1" : "0"},
          {"work_order", row.workOrder},
          {"operator", row.operatorName},
          {"lot", row.lot},
          {"signer_key", row.signerKey},
          {"signer_comment", row.signerComment}};
}

std::string padded(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

}  // namespace

std::string asTable(const std::vector<LoadRecord>& rows) {
  if (rows.empty()) return "No loads are recorded.\n";
  const std::vector<std::string> heads = {"STARTED", "STATION", "OUTCOME", "PORT", "RECEIVER", "FIRMWARE AFTER", "METHOD", "WORK ORDER", "ID"};
  std::vector<std::vector<std::string>> cells;
  for (const LoadRecord& row : rows) {
    const std::string receiver = row.receiverId.empty() ? row.receiverModel : row.receiverModel + " " + row.receiverId;
    cells.push_back({historyclock::localIso(row.startedAt), row.station, shownOutcome(row) + (row.pending ? " (pending)" : ""),
                     row.port, receiver, row.firmwareAfter, row.method, row.workOrder, row.id});
    for (std::string& cell : cells.back()) cell = printable(cell);
  }
  std::vector<std::size_t> widths;
  for (const std::string& head : heads) widths.push_back(head.size());
  for (const auto& line : cells)
    for (std::size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], line[i].size());
  std::string text;
  auto writeLine = [&](const std::vector<std::string>& line) {
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) out += i + 1 < line.size() ? padded(line[i], widths[i] + 2) : line[i];
    text += out + "\n";
  };
  writeLine(heads);
  for (const auto& line : cells) writeLine(line);
  return text;
}

std::string asJson(const std::vector<LoadRecord>& rows) {
  jsonevents::Json list = jsonevents::Json::array();
  for (const LoadRecord& row : rows) {
    jsonevents::Json item = jsonevents::Json::object();
    for (const auto& [name, value] : columnsOf(row)) {
      const std::string column = name;
      const bool number = (column == "pid" || column == "exit_status" || column == "pending") && !value.empty();
      item[column] = number ? jsonevents::Json(std::stoll(value)) : jsonevents::textOrNull(value);
    }
    jsonevents::Json images = jsonevents::Json::array();
    for (const RecordedImage& image : row.images)
      images.push_back({{"file", image.file}, {"title", jsonevents::textOrNull(image.title)}, {"size", image.size},
                        {"sha256", jsonevents::textOrNull(image.sha256)}, {"result", jsonevents::textOrNull(image.result)}});
    item["images"] = std::move(images);
    list.push_back(std::move(item));
  }
  return jsonevents::line(list);
}

std::string asCsv(const std::vector<LoadRecord>& rows) {
  std::string text;
  bool header = true;
  for (const auto& [name, value] : columnsOf(LoadRecord{})) {
    text += std::string(header ? "" : ",") + name;
    header = false;
  }
  text += ",images\r\n";
  for (const LoadRecord& row : rows) {
    bool first = true;
    for (const auto& [name, value] : columnsOf(row)) {
      if (!first) text += ',';
      text += csvcell::of(value);
      first = false;
    }
    text += ',';
    text += csvcell::of(imagesText(row));
    text += "\r\n";
  }
  return text;
}

namespace {

// Why the export may not be written where it names: onto the history itself (or the file beside it
// where rows wait for the server, or the database's own journal files); "" when it may.
std::string exportRefusal(const std::string& exportFile, const std::string& place) {
  for (const std::string& history : {place, station::defaultHistoryPath()}) {
    if (history.empty() || historyurl::isServerUrl(history)) continue;
    for (const char* companion : {"", "-wal", "-shm", "-journal"})
      if (replacedfile::sameFile(exportFile, history + companion))
        return "--export-history " + exportFile + " names the load history itself (" + history +
               "): it would replace the history. Name another file.";
  }
  return "";
}

}  // namespace

int run(const HistoryQuery& query, const std::string& path, bool json, std::ostream& out, std::ostream& err) {
  const std::string place = path.empty() ? station::defaultHistoryPath() : path;
  if (!query.exportFile.empty())
    if (const std::string refusal = exportRefusal(query.exportFile, place); !refusal.empty()) {
      err << "vestrel: " << refusal << "\n";
      return 1;
    }
  if (historyurl::isServiceUrl(place)) {
    err << "vestrel: --list-history and --export-history read a history file or the line's PostgreSQL server; the line "
           "service shows the line's loads on its pages ("
        << place << "history), and this station's own history is read without --history-db.\n";
    return 1;
  }
  std::string error = place.empty() ? "No place for the load history is known: name it with --history-db PATH." : "";
  const auto history = place.empty() ? nullptr : LoadHistory::openPlace(place, error);
  if (!history) {
    err << "vestrel: " << error << "\n";
    return 1;
  }
  // The line's server shows this station's rows too, also those that waited for it.
  ServerRows server(*history);
  if (historyurl::isServerUrl(place))
    if (const auto sent = pendingrows::sendFromStation(server); !sent.error.empty())
      err << "vestrel: warning: rows of this station still wait for the server: " << sent.error << "\n";
  history->markInterrupted(station::name(), station::processRunning);
  const std::vector<LoadRecord> rows = history->list(query.filter, error);
  if (!error.empty()) {
    err << "vestrel: " << error << "\n";
    return 1;
  }
  if (!query.exportFile.empty() && !replacedfile::write(query.exportFile, asCsv(rows), error)) {
    err << "vestrel: " << error << "\n";
    return 1;
  }
  if (query.list) out << (json ? asJson(rows) : asTable(rows)) << std::flush;
  return 0;
}

}  // namespace historylisting
