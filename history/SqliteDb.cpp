#include "SqliteDb.h"

#include <sqlite3.h>

#include <chrono>
#include <thread>

#include "AbortSignal.h"

namespace {
// How long a wait for another writer's lock sleeps before it looks again.
constexpr int kBusySliceMs = 10;
}  // namespace

void SqliteStatement::Finalize::operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
void SqliteDb::Close::operator()(sqlite3* db) const { sqlite3_close(db); }

SqliteStatement::SqliteStatement(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  if (db && sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) == SQLITE_OK)
    statement_.reset(statement);
  else
    sqlite3_finalize(statement);
}

void SqliteStatement::bindText(int index, const std::string& text) {
  if (text.empty()) bindNull(index);
  else sqlite3_bind_text(statement_.get(), index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void SqliteStatement::bindInt(int index, int64_t value) { sqlite3_bind_int64(statement_.get(), index, value); }
void SqliteStatement::bindNull(int index) { sqlite3_bind_null(statement_.get(), index); }

void SqliteStatement::bindBlob(int index, const std::string& bytes) {
  if (bytes.empty()) bindNull(index);
  else sqlite3_bind_blob64(statement_.get(), index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
}

std::string SqliteStatement::blob(int column) const {
  const void* value = sqlite3_column_blob(statement_.get(), column);
  if (!value) return {};
  return std::string(static_cast<const char*>(value), static_cast<std::size_t>(sqlite3_column_bytes(statement_.get(), column)));
}

bool SqliteStatement::step() {
  if (!statement_ || done_ || failed_) return false;
  const int status = sqlite3_step(statement_.get());
  if (status == SQLITE_ROW) return true;
  done_ = status == SQLITE_DONE;
  failed_ = !done_;  // a failed statement gives nothing more
  return false;
}

std::string SqliteStatement::text(int column) const {
  const unsigned char* value = sqlite3_column_text(statement_.get(), column);
  if (!value) return {};
  return std::string(reinterpret_cast<const char*>(value), static_cast<std::size_t>(sqlite3_column_bytes(statement_.get(), column)));
}

int64_t SqliteStatement::integer(int column) const { return sqlite3_column_int64(statement_.get(), column); }

std::optional<int64_t> SqliteStatement::optionalInt(int column) const {
  if (sqlite3_column_type(statement_.get(), column) == SQLITE_NULL) return std::nullopt;
  return integer(column);
}

SqliteDb::SqliteDb(const std::string& path, const CMNC::AbortSignal* stop) : path_(path), stop_(stop) {
  sqlite3* db = nullptr;
  const int status = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (status == SQLITE_OK) {
    db_.reset(db);
    sqlite3_extended_result_codes(db, 1);
  } else {
    openError_ = db ? sqlite3_errmsg(db) : sqlite3_errstr(status);
    sqlite3_close(db);
  }
}

bool SqliteDb::exec(const std::string& sql) { return db_ && sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK; }

std::unique_ptr<HistoryStatement> SqliteDb::prepare(const std::string& sql) {
  return std::make_unique<SqliteStatement>(db_.get(), sql);
}

bool SqliteDb::hasTable(const std::string& name) {
  SqliteStatement exists(db_.get(), "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = $1");
  exists.bindText(1, name);
  return exists.step();
}

std::string SqliteDb::error() const { return db_ ? sqlite3_errmsg(db_.get()) : openError_; }

bool SqliteDb::busy() const {
  if (!db_) return false;
  const int code = sqlite3_errcode(db_.get()) & 0xff;
  return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

// Another connection holds a lock this one needs: wait in short slices until the time-out, or
// until the stop is set.
int SqliteDb::onBusy(void* self, int count) {
  const SqliteDb& db = *static_cast<const SqliteDb*>(self);
  if (db.stop_ && db.stop_->isSet()) return 0;
  if (static_cast<int64_t>(count) * kBusySliceMs >= db.busyTimeoutMs_) return 0;
  std::this_thread::sleep_for(std::chrono::milliseconds(kBusySliceMs));
  return 1;
}

void SqliteDb::setBusyTimeoutMs(int ms) {
  busyTimeoutMs_ = ms;
  if (db_) sqlite3_busy_handler(db_.get(), &SqliteDb::onBusy, this);
}
