#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "HistoryDb.h"

struct pg_conn;
struct pg_result;

// A statement of a PgDb: it runs at its first step, with its parameters as text.
class PgStatement : public HistoryStatement {
 public:
  PgStatement(pg_conn* connection, const std::string& sql);
  ~PgStatement() override;
  void bindText(int index, const std::string& text) override;
  void bindInt(int index, int64_t value) override;
  void bindNull(int index) override;
  bool step() override;
  bool done() const override { return done_; }
  std::string text(int column) const override;
  int64_t integer(int column) const override;
  std::optional<int64_t> optionalInt(int column) const override;

 private:
  struct Clear {
    void operator()(pg_result* result) const;
  };
  void bind(int index, std::optional<std::string> value);
  pg_conn* connection_;
  std::string sql_;
  std::vector<std::optional<std::string>> parameters_;
  std::unique_ptr<pg_result, Clear> result_;
  int rows_ = 0;
  int row_ = -1;
  bool done_ = false;
};

// One connection to the line's PostgreSQL server, from a URL without a password: libpq finds the
// password in its own places (PGPASSWORD, the password file, a service file). Closed when it goes.
class PgDb : public HistoryDb {
 public:
  // How long connecting may take before the server counts as away.
  static constexpr int kConnectTimeoutS = 5;
  // How long one statement, or unacknowledged data on a broken network, may take.
  static constexpr int kStatementTimeoutMs = 15000;
  static constexpr int kTcpUserTimeoutMs = 15000;

  // Connects; check ok() and error().
  explicit PgDb(const std::string& url);
  ~PgDb() override;
  bool ok() const;
  bool exec(const std::string& sql) override;
  std::unique_ptr<HistoryStatement> prepare(const std::string& sql) override;
  std::string error() const override;
  bool beginWrite() override { return exec("BEGIN"); }
  bool lockSchema() override;
  bool hasTable(const std::string& name) override;
  std::string insertionOrder() const override { return "id"; }
  const char* dialect() const override { return "postgresql"; }
  std::string place() const override { return url_; }

 private:
  struct Finish {
    void operator()(pg_conn* connection) const;
  };
  std::unique_ptr<pg_conn, Finish> connection_;
  std::string url_;
};
