#pragma once
#include <memory>
#include <string>

#include "HistoryDb.h"

struct sqlite3;
struct sqlite3_stmt;
namespace CMNC {
class AbortSignal;
}

// A prepared statement of an open SqliteDb; finalised when it goes.
class SqliteStatement : public HistoryStatement {
 public:
  SqliteStatement(sqlite3* db, const std::string& sql);
  void bindText(int index, const std::string& text) override;
  void bindInt(int index, int64_t value) override;
  void bindNull(int index) override;
  void bindBlob(int index, const std::string& bytes) override;
  bool step() override;
  bool done() const override { return done_; }
  std::string text(int column) const override;
  int64_t integer(int column) const override;
  std::optional<int64_t> optionalInt(int column) const override;
  std::string blob(int column) const override;

 private:
  struct Finalize {
    void operator()(sqlite3_stmt* statement) const;
  };
  std::unique_ptr<sqlite3_stmt, Finalize> statement_;
  bool done_ = false;
  bool failed_ = false;  // it failed: kept (not finalised) so that the connection's error stays its own
};

// One connection to an SQLite database file; closed when it goes.
class SqliteDb : public HistoryDb {
 public:
  // Opens (creating) the file; check ok() and error(). A set stop ends a wait for another
  // writer's lock at once.
  explicit SqliteDb(const std::string& path, const CMNC::AbortSignal* stop = nullptr);
  bool ok() const { return db_ != nullptr; }
  bool exec(const std::string& sql) override;
  std::unique_ptr<HistoryStatement> prepare(const std::string& sql) override;
  std::string error() const override;
  bool beginWrite() override { return exec("BEGIN IMMEDIATE"); }
  bool lockSchema() override { return true; }  // the write lock taken at the start covers it
  bool hasTable(const std::string& name) override;
  std::string insertionOrder() const override { return "rowid"; }
  const char* dialect() const override { return "sqlite"; }
  std::string place() const override { return path_; }
  // Whether the last call failed because another connection held a lock it needed.
  bool busy() const;
  // How long a writer waits for another one's lock before it gives up.
  void setBusyTimeoutMs(int ms);

 private:
  struct Close {
    void operator()(sqlite3* db) const;
  };
  static int onBusy(void* self, int count);
  std::unique_ptr<sqlite3, Close> db_;
  std::string path_;
  const CMNC::AbortSignal* stop_;
  int busyTimeoutMs_ = 0;
  std::string openError_;
};
