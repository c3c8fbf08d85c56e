#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AbortSignal.h"
#include "HistoryDb.h"

struct pg_conn;
struct pg_result;
class PgDb;

// A statement of a PgDb: it runs at its first step, with its parameters as text.
class PgStatement : public HistoryStatement {
 public:
  PgStatement(PgDb& db, const std::string& sql);
  ~PgStatement() override;
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
  struct Clear {
    void operator()(pg_result* result) const;
  };
  void bind(int index, std::optional<std::string> value);
  PgDb& db_;
  std::string sql_;
  std::vector<std::optional<std::string>> parameters_;
  std::unique_ptr<pg_result, Clear> result_;
  int rows_ = 0;
  int row_ = -1;
  bool done_ = false;
};

// One connection to the line's PostgreSQL server, from a URL without a password: libpq finds the
// password in its own places (PGPASSWORD, the password file, a service file). Closed when it goes.
// Nothing waits on the server without a deadline: the connection is made and every statement runs
// through libpq's non-blocking calls, and a server that does not answer within the deadline (a
// stalled backend, a network that drops everything) counts as away: the connection is given up.
// A set stop gives it up at once.
class PgDb : public HistoryDb {
 public:
  // How long connecting may take before the server counts as away.
  static constexpr int kConnectTimeoutS = 5;
  // How long one statement may take on the client's clock, and on the server's.
  static constexpr int kStatementDeadlineMs = 5000;
  // How long sent data may stay unacknowledged on a broken network.
  static constexpr int kTcpUserTimeoutMs = 15000;
  // How long one wait on the connection's socket lasts before it looks at the clock again.
  static constexpr int kWaitSliceMs = 50;

  // Connects; check ok() and error().
  explicit PgDb(const std::string& url, const CMNC::AbortSignal* stop = nullptr);
  ~PgDb() override;
  bool ok() const;
  bool exec(const std::string& sql) override;
  std::unique_ptr<HistoryStatement> prepare(const std::string& sql) override;
  std::string error() const override;
  bool beginWrite() override { return exec("BEGIN"); }
  bool lockSchema() override;
  bool hasTable(const std::string& name) override;
  std::string insertionOrder() const override { return "id"; }
  std::string timeAsText(const std::string& column) const override {
    return "to_char(" + column + " AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')";
  }
  const char* dialect() const override { return "postgresql"; }
  std::string place() const override { return url_; }

 private:
  friend class PgStatement;
  struct Finish {
    void operator()(pg_conn* connection) const;
  };
  struct Clear {
    void operator()(pg_result* result) const;
  };
  using Result = std::unique_ptr<pg_result, Clear>;
  // Runs sql with its parameters (none for exec) within the deadline; the last result, or nullptr
  // with error() set when the server did not answer in time or the stop came.
  Result run(const std::string& sql, const std::vector<const char*>* parameters);
  bool connect(const std::string& url);
  // Waits until the socket is ready for events or the deadline (steady milliseconds) passes.
  bool awaitSocket(short events, int64_t deadlineMs);
  CMNC::AbortSignal::Wait waitSlice(int socket, short events, int sliceMs) const;
  void giveUp(const std::string& why);
  std::unique_ptr<pg_conn, Finish> connection_;
  std::string url_;
  const CMNC::AbortSignal* stop_;
  std::string ownError_;  // why the connection was given up
};
