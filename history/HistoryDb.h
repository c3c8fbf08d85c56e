#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// A statement of a HistoryDb, ready to run. Parameters are written $1, $2, ... in the text, each
// first used in its order, and count from 1; columns count from 0. An empty text binds NULL, a
// NULL column reads as an empty text.
class HistoryStatement {
 public:
  virtual ~HistoryStatement() = default;
  virtual void bindText(int index, const std::string& text) = 0;
  virtual void bindInt(int index, int64_t value) = 0;
  virtual void bindNull(int index) = 0;
  // Bytes of any value (a BLOB, a bytea); empty binds NULL.
  virtual void bindBlob(int index, const std::string& bytes) = 0;
  // One step (blocks on the database): true while it gives a row; done() tells whether it ended
  // without an error.
  virtual bool step() = 0;
  virtual bool done() const = 0;
  virtual std::string text(int column) const = 0;
  virtual int64_t integer(int column) const = 0;
  virtual std::optional<int64_t> optionalInt(int column) const = 0;
  // A column of bytes as they were bound.
  virtual std::string blob(int column) const = 0;
};

// One connection to a database that holds a load history: a file on the station (SQLite) or the
// line's server (PostgreSQL). The SQL the history runs is written for both; what differs is here.
// Every call comes from one thread and blocks until the database answers.
class HistoryDb {
 public:
  virtual ~HistoryDb() = default;
  // Runs statements that give no rows; false with error() set when one fails.
  virtual bool exec(const std::string& sql) = 0;
  virtual std::unique_ptr<HistoryStatement> prepare(const std::string& sql) = 0;
  // The last error's text.
  virtual std::string error() const = 0;
  // Starts a transaction that will write, holding the write lock from its start where the
  // database has one.
  virtual bool beginWrite() = 0;
  // Inside a write transaction: waits until no other connection changes the schema, so that one
  // of many processes creates it.
  virtual bool lockSchema() = 0;
  virtual bool hasTable(const std::string& name) = 0;
  // The SQL that orders rows of one table by when they were inserted, for ties in time.
  virtual std::string insertionOrder() const = 0;
  // The SQL that reads a time column as ISO 8601 UTC text with milliseconds.
  virtual std::string timeAsText(const std::string& column) const { return column; }
  // "sqlite" or "postgresql": which of the schema's steps apply.
  virtual const char* dialect() const = 0;
  // What the history names this database as in its messages: the file's path, the server's URL.
  virtual std::string place() const = 0;
};
