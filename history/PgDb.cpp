#include "PgDb.h"

#include <libpq-fe.h>

#include <string>

namespace {

// The history's schema is changed under this advisory lock, one process at a time.
constexpr int64_t kSchemaLockKey = 0x56455354524c;

// libpq's messages run over lines ("...failed: Connection refused\n\tIs the server running...");
// the history's messages put them on one.
std::string oneLine(const char* message) {
  std::string text;
  for (const char* c = message ? message : ""; *c; ++c) {
    const bool blank = *c == '\n' || *c == '\t' || *c == '\r' || *c == ' ';
    if (!blank) text += *c;
    else if (!text.empty() && text.back() != ' ') text += ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

void ignoreNotice(void*, const char*) {}

struct ClearResult {
  void operator()(PGresult* result) const { PQclear(result); }
};  // "already exists, skipping" is no news to an operator

}  // namespace

void PgStatement::Clear::operator()(pg_result* result) const { PQclear(result); }
void PgDb::Finish::operator()(pg_conn* connection) const { PQfinish(connection); }

PgStatement::PgStatement(pg_conn* connection, const std::string& sql) : connection_(connection), sql_(sql) {}
PgStatement::~PgStatement() = default;

void PgStatement::bind(int index, std::optional<std::string> value) {
  if (index < 1) return;
  if (parameters_.size() < static_cast<std::size_t>(index)) parameters_.resize(static_cast<std::size_t>(index));
  parameters_[static_cast<std::size_t>(index - 1)] = std::move(value);
}

void PgStatement::bindText(int index, const std::string& text) {
  bind(index, text.empty() ? std::nullopt : std::optional<std::string>(text));
}
void PgStatement::bindInt(int index, int64_t value) { bind(index, std::to_string(value)); }
void PgStatement::bindNull(int index) { bind(index, std::nullopt); }

bool PgStatement::step() {
  if (done_) return false;
  if (!result_) {
    if (row_ >= 0) return false;  // it failed
    row_ = 0;
    std::vector<const char*> values;
    for (const auto& parameter : parameters_) values.push_back(parameter ? parameter->c_str() : nullptr);
    result_.reset(PQexecParams(connection_, sql_.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                               nullptr, nullptr, 0));
    const ExecStatusType status = PQresultStatus(result_.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
      result_.reset();
      return false;
    }
    rows_ = PQntuples(result_.get());
    row_ = -1;
  }
  if (++row_ < rows_) return true;
  done_ = true;
  return false;
}

std::string PgStatement::text(int column) const {
  if (!result_ || PQgetisnull(result_.get(), row_, column)) return {};
  return std::string(PQgetvalue(result_.get(), row_, column), static_cast<std::size_t>(PQgetlength(result_.get(), row_, column)));
}

int64_t PgStatement::integer(int column) const {
  const std::string value = text(column);
  return value.empty() ? 0 : std::stoll(value);
}

std::optional<int64_t> PgStatement::optionalInt(int column) const {
  if (!result_ || PQgetisnull(result_.get(), row_, column)) return std::nullopt;
  return integer(column);
}

PgDb::PgDb(const std::string& url) : url_(url) {
  const std::string connectTimeout = std::to_string(kConnectTimeoutS);
  const std::string tcpUserTimeout = std::to_string(kTcpUserTimeoutMs);
  const std::string options = "-c statement_timeout=" + std::to_string(kStatementTimeoutMs);
  // The defaults come first: what the URL says overrides them.
  const char* keywords[] = {"connect_timeout", "tcp_user_timeout", "keepalives", "keepalives_idle", "options",
                            "fallback_application_name", "dbname", nullptr};
  const char* values[] = {connectTimeout.c_str(), tcpUserTimeout.c_str(), "1", "30", options.c_str(), "vestrel",
                          url.c_str(), nullptr};
  connection_.reset(PQconnectdbParams(keywords, values, 1));
  if (connection_) PQsetNoticeProcessor(connection_.get(), ignoreNotice, nullptr);
}

PgDb::~PgDb() = default;

bool PgDb::ok() const { return connection_ && PQstatus(connection_.get()) == CONNECTION_OK; }

bool PgDb::exec(const std::string& sql) {
  if (!connection_) return false;
  std::unique_ptr<PGresult, ClearResult> result(PQexec(connection_.get(), sql.c_str()));
  const ExecStatusType status = PQresultStatus(result.get());
  return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

std::unique_ptr<HistoryStatement> PgDb::prepare(const std::string& sql) {
  return std::make_unique<PgStatement>(connection_.get(), sql);
}

std::string PgDb::error() const {
  return connection_ ? oneLine(PQerrorMessage(connection_.get())) : "libpq could not make a connection";
}

bool PgDb::lockSchema() { return exec("SELECT pg_advisory_xact_lock(" + std::to_string(kSchemaLockKey) + ")"); }

bool PgDb::hasTable(const std::string& name) {
  PgStatement exists(connection_.get(), "SELECT 1 FROM pg_catalog.pg_tables WHERE schemaname = current_schema() AND tablename = $1");
  exists.bindText(1, name);
  return exists.step();
}
