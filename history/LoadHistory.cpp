#include "LoadHistory.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "HistoryDb.h"
#include "HistorySchema.h"
#include "HistoryServer.h"
#include "HistoryUrl.h"
#include "KeptOutcome.h"
#include "LiveWriter.h"
#include "LoadColumns.h"
#include "NetworkFileSystem.h"
#include "PathText.h"
#include "SqliteDb.h"

namespace {

using loadcolumns::kTextColumns;
using loadcolumns::TextColumn;
constexpr int kTextColumnCount = static_cast<int>(std::size(kTextColumns));

// "id, pid, started_at, ..., log_path, exit_status, pending"
std::vector<std::string> columnNames() {
  std::vector<std::string> names = {"id", "pid"};
  for (const TextColumn& column : kTextColumns) names.emplace_back(column.name);
  names.emplace_back("exit_status");
  names.emplace_back("pending");
  return names;
}

std::string columnList() {
  std::string list;
  for (const std::string& name : columnNames()) list += (list.empty() ? "" : ", ") + name;
  return list;
}

// The columns as a SELECT reads them: times as ISO 8601 UTC text, whatever type the store keeps.
std::string selectList(const HistoryDb& db) {
  std::string list;
  for (const std::string& name : columnNames())
    list += (list.empty() ? "" : ", ") + (loadcolumns::isTimeColumn(name) ? db.timeAsText(name) : name);
  return list;
}

const int kColumnCount = kTextColumnCount + 4;

// "$1, $2, ..."
std::string placeholders(int count) {
  std::string text;
  for (int i = 1; i <= count; ++i) text += (i > 1 ? ", $" : "$") + std::to_string(i);
  return text;
}

std::string insertSql() { return "INSERT INTO loads (" + columnList() + ") VALUES (" + placeholders(kColumnCount) + ")"; }

// The insert that takes the place of a row of the same id; condition limits which rows it takes.
std::string upsertSql(const std::string& condition) {
  std::string set;
  for (const std::string& name : columnNames())
    if (name != "id") set += (set.empty() ? "" : ", ") + name + " = excluded." + name;
  return insertSql() + " ON CONFLICT (id) DO UPDATE SET " + set + (condition.empty() ? "" : " WHERE " + condition) +
         " RETURNING id";
}

void bindRecord(HistoryStatement& statement, const LoadRecord& record) {
  statement.bindText(1, record.id);
  statement.bindInt(2, record.pid);
  for (int i = 0; i < kTextColumnCount; ++i) statement.bindText(3 + i, record.*kTextColumns[i].field);
  if (record.exitStatus) statement.bindInt(3 + kTextColumnCount, *record.exitStatus);
  else statement.bindNull(3 + kTextColumnCount);
  statement.bindInt(4 + kTextColumnCount, record.pending ? 1 : 0);
}

LoadRecord recordOf(const HistoryStatement& row) {
  LoadRecord record;
  record.id = row.text(0);
  record.pid = row.integer(1);
  for (int i = 0; i < kTextColumnCount; ++i) record.*kTextColumns[i].field = row.text(2 + i);
  if (const auto status = row.optionalInt(2 + kTextColumnCount)) record.exitStatus = static_cast<int>(*status);
  record.pending = row.integer(3 + kTextColumnCount) != 0;
  return record;
}

// Makes the history's folder, readable by its owner alone where the system has such modes.
bool makeFolder(const std::string& path, std::string& error) {
  const std::filesystem::path folder = pathtext::fromUtf8(path).parent_path();
  if (folder.empty()) return true;
  std::error_code ec;
  if (std::filesystem::create_directories(folder, ec))
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
  if (ec) {
    error = "Cannot make the load history's folder " + pathtext::toUtf8(folder) + ": " + ec.message();
    return false;
  }
  return true;
}

// A write-ahead log lets readers and one writer work at once; every commit is on disk when it
// returns, so a run's row outlives a power cut that follows it. Switching a file to the write-ahead
// log needs its exclusive lock, and the library answers "locked" at once, without waiting, while
// another process sets up the same new file: the switch is tried again until the busy time-out.
// On a network file system the write-ahead log's shared memory is not shared between computers:
// there the file keeps a rollback journal, under an exclusive lock that this connection holds
// from its first write until it closes.
bool configure(SqliteDb& db, bool network) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(LoadHistory::kBusyTimeoutMs);
  const char* journal = network ? "PRAGMA locking_mode=EXCLUSIVE; PRAGMA journal_mode=DELETE" : "PRAGMA journal_mode=WAL";
  while (!db.exec(journal)) {
    if (!db.busy() || std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(LoadHistory::kBusyRetryMs));
  }
  return db.exec("PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;");
}

}  // namespace

LoadHistory::LoadHistory(std::unique_ptr<HistoryDb> db) : db_(std::move(db)) {}
LoadHistory::~LoadHistory() = default;

std::string LoadHistory::place() const { return db_->place(); }

std::unique_ptr<LoadHistory> LoadHistory::ready(std::unique_ptr<HistoryDb> db, std::string& error) {
  const std::string place = db->place();
  std::unique_ptr<LoadHistory> history(new LoadHistory(std::move(db)));
  if (!history->migrate(error)) {
    error = "Cannot use the load history " + place + ": " + error;
    return nullptr;
  }
  return history;
}

std::unique_ptr<LoadHistory> LoadHistory::open(const std::string& path, std::string& error, const CMNC::AbortSignal* stop,
                                               Journal journal) {
  if (!makeFolder(path, error)) return nullptr;
  std::string network = journal == Journal::ByFileSystem ? networkfs::kindOf(path) : "";
  if (journal == Journal::Rollback) network = "as told";
  auto db = std::make_unique<SqliteDb>(path, stop);
  if (!db->ok()) {
    error = "Cannot open the load history " + path + ": " + db->error();
    return nullptr;
  }
  db->setBusyTimeoutMs(kBusyTimeoutMs);
  if (!configure(*db, !network.empty())) {
    error = "Cannot use the load history " + path + ": " + db->error();
    return nullptr;
  }
  auto history = ready(std::move(db), error);
  if (history && !network.empty())
    history->warning_ = "The load history " + path + " is on a network file system (" + network +
                        "): it is written with a rollback journal, one program at a time; keep it on a local disk, "
                        "or use the line's server (--history-db postgresql://...).";
  if (history) history->takeKeptOutcomes(path);
  return history;
}

// The rows runs kept beside the file when it could not take them: each goes in, as its run's
// finish would have written it, and its file goes once the row is in.
void LoadHistory::takeKeptOutcomes(const std::string& path) {
  for (const keptoutcome::Kept& kept : keptoutcome::find(path)) {
    std::string error;
    std::error_code ec;
    if (finish(kept.row, error)) std::filesystem::remove(pathtext::fromUtf8(kept.path), ec);
  }
}

std::unique_ptr<LoadHistory> LoadHistory::openServer(const std::string& url, std::string& error, const CMNC::AbortSignal* stop) {
  auto db = historyserver::connect(url, error, stop);
  if (!db) {
    error = "Cannot reach the history server " + url + ": " + error;
    return nullptr;
  }
  return ready(std::move(db), error);
}

std::unique_ptr<LoadHistory> LoadHistory::openPlace(const std::string& place, std::string& error) {
  return historyurl::isServerUrl(place) ? openServer(place, error) : open(place, error);
}

bool LoadHistory::migrate(std::string& error) {
  if (!db_->beginWrite() || !db_->lockSchema()) {
    error = db_->error();
    db_->exec("ROLLBACK");
    return false;
  }
  int version = 0;
  if (db_->hasTable("schema_version")) {
    auto read = db_->prepare("SELECT MAX(version) FROM schema_version");
    if (read->step()) version = static_cast<int>(read->integer(0));
  }
  const std::vector<std::string> steps = historyschema::migrations(db_->dialect());
  if (version > static_cast<int>(steps.size())) {
    db_->exec("ROLLBACK");
    error = "it was written by a newer version of this program (schema " + std::to_string(version) +
            "); use that version, or another history with --history-db PATH.";
    return false;
  }
  for (int step = version; step < static_cast<int>(steps.size()); ++step) {
    if (!db_->exec(steps[static_cast<std::size_t>(step)]) ||
        !db_->exec("UPDATE schema_version SET version = " + std::to_string(step + 1))) {
      error = db_->error();
      db_->exec("ROLLBACK");
      return false;
    }
  }
  if (!db_->exec("COMMIT")) {
    error = db_->error();
    db_->exec("ROLLBACK");
    return false;
  }
  return true;
}

bool LoadHistory::begin(const LoadRecord& record, std::string& error) {
  auto insert = db_->prepare(insertSql());
  bindRecord(*insert, record);
  insert->step();
  if (!insert->done()) error = "Cannot write the load history: " + db_->error();
  return insert->done();
}

bool LoadHistory::writeImages(const LoadRecord& record) {
  auto remove = db_->prepare("DELETE FROM load_images WHERE load_id = $1");
  remove->bindText(1, record.id);
  remove->step();
  if (!remove->done()) return false;
  int position = 0;
  for (const RecordedImage& image : record.images) {
    auto insert = db_->prepare(
        "INSERT INTO load_images (load_id, file, title, size, sha256, position, result) VALUES ($1, $2, $3, $4, $5, $6, $7)");
    insert->bindText(1, record.id);
    insert->bindText(2, image.file);
    insert->bindText(3, image.title);
    insert->bindInt(4, static_cast<int64_t>(image.size));
    insert->bindText(5, image.sha256);
    insert->bindInt(6, position++);
    insert->bindText(7, image.result);
    insert->step();
    if (!insert->done()) return false;
  }
  return true;
}

bool LoadHistory::writeLog(const LoadRecord& record) {
  if (record.log.packed.empty()) return true;
  auto insert = db_->prepare(
      "INSERT INTO run_logs (load_id, packed, text_bytes, file_bytes, cut) VALUES ($1, $2, $3, $4, $5)"
      " ON CONFLICT (load_id) DO UPDATE SET packed = excluded.packed, text_bytes = excluded.text_bytes,"
      " file_bytes = excluded.file_bytes, cut = excluded.cut");
  insert->bindText(1, record.id);
  insert->bindBlob(2, record.log.packed);
  insert->bindInt(3, record.log.textBytes);
  insert->bindInt(4, record.log.fileBytes);
  insert->bindInt(5, record.log.cut ? 1 : 0);
  insert->step();
  return insert->done();
}

StoredLog LoadHistory::logOf(const std::string& id, std::string& error) {
  auto select = db_->prepare("SELECT packed, text_bytes, file_bytes, cut FROM run_logs WHERE load_id = $1");
  select->bindText(1, id);
  StoredLog log;
  if (select->step()) log = {select->blob(0), select->integer(1), select->integer(2), select->integer(3) != 0};
  if (!select->done() && log.packed.empty()) error = "Cannot read the load history: " + db_->error();
  return log;
}

std::vector<LiveRow> LoadHistory::liveRuns(const std::string& id, int endedWithinS, std::string& error) {
  auto select = db_->prepare(
      "SELECT id, station, pid, port, method, source, receiver_id, receiver_model, work_order, stage, image, image_index,"
      " image_count, percent, seconds_left, outcome, failure_kind, reason, " +
      db_->timeAsText("started_at") + ", " + db_->timeAsText("updated_at") + ", " + db_->timeAsText("ended_at") +
      ", (extract(epoch FROM now() - updated_at) * 1000)::bigint FROM live_runs WHERE " +
      (id.empty() ? "ended_at IS NULL OR ended_at > now() - make_interval(secs => $1)" : "id = $1") +
      " ORDER BY started_at DESC, id");
  if (id.empty()) select->bindInt(1, endedWithinS);
  else select->bindText(1, id);
  std::vector<LiveRow> rows;
  while (select->step()) {
    LiveRow row;
    LiveState& s = row.state;
    s.id = select->text(0);
    s.station = select->text(1);
    s.pid = select->integer(2);
    std::string* texts[] = {&s.port, &s.method, &s.source, &s.receiverId, &s.receiverModel, &s.workOrder, &s.stage, &s.image};
    int column = 3;
    for (std::string* text : texts) *text = select->text(column++);
    s.imageIndex = static_cast<int>(select->integer(11));
    s.imageCount = static_cast<int>(select->integer(12));
    s.percent = static_cast<int>(select->integer(13));
    s.secondsLeft = select->optionalInt(14);
    s.outcome = select->text(15);
    s.failureKind = select->text(16);
    s.reason = select->text(17);
    row.startedAt = select->text(18);
    row.updatedAt = select->text(19);
    row.endedAt = select->text(20);
    row.ageMs = select->integer(21);
    rows.push_back(std::move(row));
  }
  if (!select->done()) error = "Cannot read the live runs: " + db_->error();
  return rows;
}

bool LoadHistory::row(const std::string& id, LoadRecord& record, std::string& error) {
  std::vector<LoadRecord> rows = select("id = $1", {id}, "started_at", error);
  if (rows.empty()) return false;
  record = std::move(rows.front());
  return true;
}

// Runs an upsert of record in one transaction with its images, when the upsert wrote the row.
bool LoadHistory::writeRow(const std::string& sql, const LoadRecord& record, bool& written, std::string& error) {
  written = false;
  bool ok = db_->beginWrite();
  if (ok) {
    auto upsert = db_->prepare(sql);
    bindRecord(*upsert, record);
    while (upsert->step()) written = true;  // the row it wrote, if any
    ok = upsert->done() && (!written || (writeImages(record) && writeLog(record))) && db_->exec("COMMIT");
  }
  if (!ok) {
    error = "Cannot write the load history: " + db_->error();
    db_->exec("ROLLBACK");
  }
  return ok;
}

bool LoadHistory::finish(const LoadRecord& record, std::string& error) {
  bool written = false;
  return writeRow(upsertSql(""), record, written, error);
}

bool LoadHistory::deliver(const LoadRecord& record, bool& written, std::string& error) {
  LoadRecord arriving = record;
  arriving.pending = false;
  // A row here that only began (its run lost the server) or was since found interrupted takes the
  // arriving one; a finished row stays as it is.
  return writeRow(upsertSql("loads.finished_at IS NULL AND (loads.outcome IS NULL OR excluded.finished_at IS NOT NULL)"),
                  arriving, written, error);
}

bool LoadHistory::publishLive(const LiveState& state, bool clearOld, std::string& error) {
  if (clearOld) LiveWriter::clearOld(*db_);
  return LiveWriter::upsert(*db_, state, error);
}

int LoadHistory::markInterrupted(const std::string& station, const std::function<bool(int64_t pid)>& running) {
  auto open = db_->prepare("SELECT id, pid FROM loads WHERE finished_at IS NULL AND outcome IS NULL AND station = $1");
  open->bindText(1, station);
  std::vector<std::string> gone;
  while (open->step())
    if (!running(open->integer(1))) gone.push_back(open->text(0));
  int marked = 0;
  for (const std::string& id : gone) {
    auto mark = db_->prepare(
        "UPDATE loads SET outcome = 'interrupted', reason = COALESCE(reason, 'The program ended before the run did.')"
        " WHERE id = $1 AND finished_at IS NULL AND outcome IS NULL");
    mark->bindText(1, id);
    mark->step();
    if (mark->done()) ++marked;
  }
  return marked;
}

std::vector<RecordedImage> LoadHistory::imagesOf(const std::string& id) {
  std::vector<RecordedImage> images;
  auto select =
      db_->prepare("SELECT file, title, size, sha256, result FROM load_images WHERE load_id = $1 ORDER BY position");
  select->bindText(1, id);
  while (select->step())
    images.push_back(
        {select->text(0), select->text(1), static_cast<uint64_t>(select->integer(2)), select->text(3), select->text(4)});
  return images;
}

// The rows that meet where (its parameters' values in order), in order, with their images.
std::vector<LoadRecord> LoadHistory::select(const std::string& where, const std::vector<std::string>& values,
                                            const std::string& order, std::string& error, bool images) {
  auto select = db_->prepare("SELECT " + selectList(*db_) + " FROM loads WHERE " + where + " ORDER BY " + order);
  for (std::size_t i = 0; i < values.size(); ++i) select->bindText(static_cast<int>(i + 1), values[i]);
  std::vector<LoadRecord> records;
  while (select->step()) records.push_back(recordOf(*select));
  if (!select->done()) {
    error = "Cannot read the load history: " + db_->error();
    return {};
  }
  if (images)
    for (LoadRecord& record : records) record.images = imagesOf(record.id);
  return records;
}

std::vector<LoadRecord> LoadHistory::list(const HistoryFilter& filter, std::string& error) {
  std::string where = "TRUE";
  std::vector<std::string> values;
  const std::pair<const char*, const std::string*> conditions[] = {
      {"receiver_id = ", &filter.receiverId}, {"port = ", &filter.port},       {"started_at >= ", &filter.since},
      {"started_at < ", &filter.until},       {"station = ", &filter.station}, {"work_order = ", &filter.workOrder},
      {"outcome = ", &filter.outcome},        {"COALESCE(firmware_after, firmware_before) = ", &filter.firmware}};
  for (const auto& [test, value] : conditions) {
    if (value->empty()) continue;
    values.push_back(*value);
    where += std::string(" AND ") + test + "$" + std::to_string(values.size());
  }
  std::string order = "started_at DESC, " + db_->insertionOrder() + " DESC";
  if (filter.limit > 0) order += " LIMIT " + std::to_string(filter.limit);
  return select(where, values, order, error, filter.images);
}

std::vector<LoadRecord> LoadHistory::pendingRows(std::string& error) {
  std::vector<LoadRecord> rows = select("pending = 1 AND outcome IS NOT NULL", {}, "started_at, " + db_->insertionOrder(), error);
  for (LoadRecord& row : rows) row.log = logOf(row.id, error);
  return rows;
}

bool LoadHistory::markSent(const std::string& id, std::string& error) {
  auto mark = db_->prepare("UPDATE loads SET pending = 0 WHERE id = $1");
  mark->bindText(1, id);
  mark->step();
  if (!mark->done()) error = "Cannot write the load history: " + db_->error();
  return mark->done();
}
