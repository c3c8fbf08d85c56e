#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

// A prepared statement of an open SqliteDb; finalised when it goes. Parameters count from 1,
// columns from 0; an empty text binds NULL, a NULL column reads as an empty text.
class SqliteStatement {
 public:
  SqliteStatement(sqlite3* db, const std::string& sql);
  bool valid() const { return statement_ != nullptr; }
  void bindText(int index, const std::string& text);
  void bindInt(int index, int64_t value);
  void bindNull(int index);
  // One step: true while it gives a row; done() tells whether it ended without an error.
  bool step();
  bool done() const { return done_; }
  std::string text(int column) const;
  int64_t integer(int column) const;
  std::optional<int64_t> optionalInt(int column) const;

 private:
  struct Finalize {
    void operator()(sqlite3_stmt* statement) const;
  };
  std::unique_ptr<sqlite3_stmt, Finalize> statement_;
  bool done_ = false;
};

// One connection to an SQLite database file; closed when it goes. Every call comes from one thread.
class SqliteDb {
 public:
  // Opens (creating) the file; check ok() and error().
  explicit SqliteDb(const std::string& path);
  bool ok() const { return db_ != nullptr; }
  // Runs statements that give no rows; false with error() set when one fails.
  bool exec(const std::string& sql);
  SqliteStatement prepare(const std::string& sql) { return SqliteStatement(db_.get(), sql); }
  // The library's last error text of this connection.
  std::string error() const;
  // Whether the last call failed because another connection held a lock it needed.
  bool busy() const;
  // How long a writer waits for another one's lock before it gives up.
  void setBusyTimeoutMs(int ms);

 private:
  struct Close {
    void operator()(sqlite3* db) const;
  };
  std::unique_ptr<sqlite3, Close> db_;
  std::string openError_;
};
