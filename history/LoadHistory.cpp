#include "LoadHistory.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "HistorySchema.h"
#include "PathText.h"
#include "SqliteDb.h"

namespace {

// The text columns of "loads" in their order after id and pid; exit_status follows them.
struct TextColumn {
  const char* name;
  std::string LoadRecord::*field;
};
constexpr TextColumn kTextColumns[] = {
    {"started_at", &LoadRecord::startedAt},         {"finished_at", &LoadRecord::finishedAt},
    {"station", &LoadRecord::station},             {"tool_version", &LoadRecord::toolVersion},
    {"command_line", &LoadRecord::commandLine},    {"port", &LoadRecord::port},
    {"link", &LoadRecord::link},                   {"method", &LoadRecord::method},
    {"source", &LoadRecord::source},               {"source_sha256", &LoadRecord::sourceSha256},
    {"receiver_model", &LoadRecord::receiverModel}, {"receiver_id", &LoadRecord::receiverId},
    {"receiver_hardware", &LoadRecord::receiverHardware}, {"firmware_before", &LoadRecord::firmwareBefore},
    {"firmware_after", &LoadRecord::firmwareAfter}, {"outcome", &LoadRecord::outcome},
    {"stage", &LoadRecord::stage},                 {"reason", &LoadRecord::reason},
    {"log_path", &LoadRecord::logPath},
};
constexpr int kTextColumnCount = static_cast<int>(std::size(kTextColumns));

// "id, pid, started_at, ..., log_path, exit_status"
std::string columnList() {
  std::string list = "id, pid";
  for (const TextColumn& column : kTextColumns) list += std::string(", ") + column.name;
  return list + ", exit_status";
}

void bindRecord(SqliteStatement& statement, const LoadRecord& record) {
  statement.bindText(1, record.id);
  statement.bindInt(2, record.pid);
  for (int i = 0; i < kTextColumnCount; ++i) statement.bindText(3 + i, record.*kTextColumns[i].field);
  if (record.exitStatus) statement.bindInt(3 + kTextColumnCount, *record.exitStatus);
  else statement.bindNull(3 + kTextColumnCount);
}

LoadRecord recordOf(const SqliteStatement& row) {
  LoadRecord record;
  record.id = row.text(0);
  record.pid = row.integer(1);
  for (int i = 0; i < kTextColumnCount; ++i) record.*kTextColumns[i].field = row.text(2 + i);
  if (const auto status = row.optionalInt(2 + kTextColumnCount)) record.exitStatus = static_cast<int>(*status);
  return record;
}

std::string placeholders(int count) {
  std::string text = "?";
  for (int i = 1; i < count; ++i) text += ", ?";
  return text;
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
bool configure(SqliteDb& db) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(LoadHistory::kBusyTimeoutMs);
  while (!db.exec("PRAGMA journal_mode=WAL")) {
    if (!db.busy() || std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(LoadHistory::kBusyRetryMs));
  }
  return db.exec("PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;");
}

}  // namespace

LoadHistory::LoadHistory(std::unique_ptr<SqliteDb> db) : db_(std::move(db)) {}
LoadHistory::~LoadHistory() = default;

std::unique_ptr<LoadHistory> LoadHistory::open(const std::string& path, std::string& error) {
  if (!makeFolder(path, error)) return nullptr;
  auto db = std::make_unique<SqliteDb>(path);
  if (!db->ok()) {
    error = "Cannot open the load history " + path + ": " + db->error();
    return nullptr;
  }
  db->setBusyTimeoutMs(kBusyTimeoutMs);
  if (!configure(*db)) {
    error = "Cannot use the load history " + path + ": " + db->error();
    return nullptr;
  }
  std::unique_ptr<LoadHistory> history(new LoadHistory(std::move(db)));
  if (!history->migrate(error)) {
    error = "Cannot use the load history " + path + ": " + error;
    return nullptr;
  }
  return history;
}

bool LoadHistory::migrate(std::string& error) {
  if (!db_->exec("BEGIN IMMEDIATE")) {
    error = db_->error();
    return false;
  }
  int version = 0;
  SqliteStatement exists = db_->prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'schema_version'");
  if (exists.step()) {
    SqliteStatement read = db_->prepare("SELECT MAX(version) FROM schema_version");
    if (read.step()) version = static_cast<int>(read.integer(0));
  }
  const auto& steps = historyschema::migrations();
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
  SqliteStatement insert = db_->prepare("INSERT INTO loads (" + columnList() + ") VALUES (" +
                                        placeholders(kTextColumnCount + 3) + ")");
  bindRecord(insert, record);
  insert.step();
  if (!insert.done()) error = "Cannot write the load history: " + db_->error();
  return insert.done();
}

bool LoadHistory::writeImages(const LoadRecord& record) {
  SqliteStatement remove = db_->prepare("DELETE FROM load_images WHERE load_id = ?");
  remove.bindText(1, record.id);
  remove.step();
  if (!remove.done()) return false;
  for (const RecordedImage& image : record.images) {
    SqliteStatement insert = db_->prepare("INSERT INTO load_images (load_id, file, title, size, sha256) VALUES (?, ?, ?, ?, ?)");
    insert.bindText(1, record.id);
    insert.bindText(2, image.file);
    insert.bindText(3, image.title);
    insert.bindInt(4, static_cast<int64_t>(image.size));
    insert.bindText(5, image.sha256);
    insert.step();
    if (!insert.done()) return false;
  }
  return true;
}

bool LoadHistory::finish(const LoadRecord& record, std::string& error) {
  bool written = db_->exec("BEGIN IMMEDIATE");
  if (written) {
    SqliteStatement replace = db_->prepare("INSERT OR REPLACE INTO loads (" + columnList() + ") VALUES (" +
                                           placeholders(kTextColumnCount + 3) + ")");
    bindRecord(replace, record);
    replace.step();
    written = replace.done() && writeImages(record) && db_->exec("COMMIT");
  }
  if (!written) {
    error = "Cannot write the load history: " + db_->error();
    db_->exec("ROLLBACK");
  }
  return written;
}

int LoadHistory::markInterrupted(const std::string& station, const std::function<bool(int64_t pid)>& running) {
  SqliteStatement open = db_->prepare("SELECT id, pid FROM loads WHERE finished_at IS NULL AND outcome IS NULL AND station = ?");
  open.bindText(1, station);
  std::vector<std::string> gone;
  while (open.step())
    if (!running(open.integer(1))) gone.push_back(open.text(0));
  int marked = 0;
  for (const std::string& id : gone) {
    SqliteStatement mark = db_->prepare(
        "UPDATE loads SET outcome = 'interrupted', reason = COALESCE(reason, 'The program ended before the run did.')"
        " WHERE id = ? AND finished_at IS NULL AND outcome IS NULL");
    mark.bindText(1, id);
    mark.step();
    if (mark.done()) ++marked;
  }
  return marked;
}

std::vector<RecordedImage> LoadHistory::imagesOf(const std::string& id) {
  std::vector<RecordedImage> images;
  SqliteStatement select = db_->prepare("SELECT file, title, size, sha256 FROM load_images WHERE load_id = ? ORDER BY rowid");
  select.bindText(1, id);
  while (select.step())
    images.push_back({select.text(0), select.text(1), static_cast<uint64_t>(select.integer(2)), select.text(3)});
  return images;
}

std::vector<LoadRecord> LoadHistory::list(const HistoryFilter& filter, std::string& error) {
  std::string sql = "SELECT " + columnList() + " FROM loads WHERE 1";
  if (!filter.receiverId.empty()) sql += " AND receiver_id = :receiver";
  if (!filter.port.empty()) sql += " AND port = :port";
  if (!filter.since.empty()) sql += " AND started_at >= :since";
  if (!filter.station.empty()) sql += " AND station = :station";
  sql += " ORDER BY started_at DESC, rowid DESC";
  if (filter.limit > 0) sql += " LIMIT " + std::to_string(filter.limit);
  SqliteStatement select = db_->prepare(sql);
  int index = 0;
  for (const std::string* value : {&filter.receiverId, &filter.port, &filter.since, &filter.station})
    if (!value->empty()) select.bindText(++index, *value);
  std::vector<LoadRecord> records;
  while (select.step()) records.push_back(recordOf(select));
  if (!select.done()) {
    error = "Cannot read the load history: " + db_->error();
    return {};
  }
  for (LoadRecord& record : records) record.images = imagesOf(record.id);
  return records;
}
