#include "PgDb.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string>

#include "AbortSignal.h"

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

void ignoreNotice(void*, const char*) {}  // "already exists, skipping" is no news to an operator

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void PgDb::Clear::operator()(pg_result* result) const { PQclear(result); }
void PgDb::Finish::operator()(pg_conn* connection) const { PQfinish(connection); }

PgStatement::PgStatement(PgDb& db, const std::string& sql) : db_(db), sql_(sql) {}
PgStatement::~PgStatement() = default;
void PgStatement::Clear::operator()(pg_result* result) const { PQclear(result); }

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

// Parameters go as text: bytes as bytea's hexadecimal input, "\\x" and two digits a byte.
void PgStatement::bindBlob(int index, const std::string& bytes) {
  if (bytes.empty()) return bindNull(index);
  static const char kDigits[] = "0123456789abcdef";
  std::string hex = "\\x";
  hex.reserve(2 + bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xF];
  }
  bind(index, std::move(hex));
}

std::string PgStatement::blob(int column) const {
  const std::string escaped = text(column);
  if (escaped.empty()) return {};
  std::size_t length = 0;
  unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(escaped.c_str()), &length);
  if (!bytes) return {};
  std::string value(reinterpret_cast<const char*>(bytes), length);
  PQfreemem(bytes);
  return value;
}

bool PgStatement::step() {
  if (done_) return false;
  if (!result_) {
    if (row_ >= 0) return false;  // it failed
    row_ = 0;
    std::vector<const char*> values;
    for (const auto& parameter : parameters_) values.push_back(parameter ? parameter->c_str() : nullptr);
    result_.reset(db_.run(sql_, &values).release());
    if (!result_) return false;
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

PgDb::PgDb(const std::string& url, const CMNC::AbortSignal* stop) : url_(url), stop_(stop) {
  if (connect(url) && connection_) PQsetNoticeProcessor(connection_.get(), ignoreNotice, nullptr);
}

PgDb::~PgDb() = default;

// The connection is made step by step, each step's wait bounded, as a statement is.
bool PgDb::connect(const std::string& url) {
  const std::string connectTimeout = std::to_string(kConnectTimeoutS);
  const std::string tcpUserTimeout = std::to_string(kTcpUserTimeoutMs);
  const std::string options = "-c statement_timeout=" + std::to_string(kStatementDeadlineMs);
  // The defaults come first: what the URL says overrides them.
  const char* keywords[] = {"connect_timeout", "tcp_user_timeout", "keepalives", "keepalives_idle", "options",
                            "fallback_application_name", "dbname", nullptr};
  const char* values[] = {connectTimeout.c_str(), tcpUserTimeout.c_str(), "1", "30", options.c_str(), "vestrel",
                          url.c_str(), nullptr};
  connection_.reset(PQconnectStartParams(keywords, values, 1));
  if (!connection_ || PQstatus(connection_.get()) == CONNECTION_BAD) return false;
  const int64_t deadline = nowMs() + kConnectTimeoutS * 1000;
  for (PostgresPollingStatusType status = PGRES_POLLING_WRITING;;) {
    if (status == PGRES_POLLING_OK) return PQsetnonblocking(connection_.get(), 1) == 0;
    if (status == PGRES_POLLING_FAILED) return false;
    if (!awaitSocket(status == PGRES_POLLING_READING ? POLLIN : POLLOUT, deadline)) return false;
    status = PQconnectPoll(connection_.get());
  }
}

void PgDb::giveUp(const std::string& why) {
  ownError_ = why;
  connection_.reset();  // a server that answers late answers nobody: its transaction is rolled back
}

// One slice of a wait on the socket: Ready, Timeout (look again), or Failed.
CMNC::AbortSignal::Wait PgDb::waitSlice(int socket, short events, int sliceMs) const {
  if (stop_) return stop_->wait(socket, events, sliceMs);
  pollfd fd{socket, events, 0};
  const int ready = ::poll(&fd, 1, sliceMs);
  if (ready > 0) return CMNC::AbortSignal::Wait::Ready;
  return ready < 0 && errno != EINTR ? CMNC::AbortSignal::Wait::Failed : CMNC::AbortSignal::Wait::Timeout;
}

bool PgDb::awaitSocket(short events, int64_t deadlineMs) {
  const int socket = PQsocket(connection_.get());
  for (;;) {
    const int64_t left = deadlineMs - nowMs();
    std::string why;
    if (stop_ && stop_->isSet()) why = "stopped while waiting for the history server";
    else if (left <= 0) why = "the history server did not answer within " + std::to_string(kStatementDeadlineMs / 1000) + " s";
    if (why.empty()) {
      const auto wait = waitSlice(socket, events, static_cast<int>(std::min<int64_t>(left, kWaitSliceMs)));
      if (wait == CMNC::AbortSignal::Wait::Ready) return true;
      if (wait == CMNC::AbortSignal::Wait::Failed) why = "the history server's connection failed";
      else continue;  // a slice passed, or the stop came: looked at above
    }
    giveUp(why);
    return false;
  }
}

PgDb::Result PgDb::run(const std::string& sql, const std::vector<const char*>* parameters) {
  if (!connection_) return nullptr;
  pg_conn* c = connection_.get();
  const int count = parameters ? static_cast<int>(parameters->size()) : 0;
  const int sent = parameters ? PQsendQueryParams(c, sql.c_str(), count, nullptr, parameters->data(), nullptr, nullptr, 0)
                              : PQsendQuery(c, sql.c_str());
  if (!sent) return nullptr;
  const int64_t deadline = nowMs() + kStatementDeadlineMs;
  for (;;) {
    const int flushed = PQflush(c);  // 0: all sent, 1: more to send
    if (flushed < 0) return nullptr;
    if (flushed == 0 && !PQisBusy(c)) break;
    if (!awaitSocket(static_cast<short>(POLLIN | (flushed == 1 ? POLLOUT : 0)), deadline)) return nullptr;
    if (!PQconsumeInput(c)) return nullptr;
  }
  // The whole answer is in: no call below waits.
  Result last, failed;
  while (PGresult* result = PQgetResult(c)) {
    const ExecStatusType status = PQresultStatus(result);
    Result held(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) failed = std::move(held);
    else last = std::move(held);
  }
  return failed ? nullptr : std::move(last);
}

bool PgDb::ok() const { return connection_ && PQstatus(connection_.get()) == CONNECTION_OK; }

bool PgDb::exec(const std::string& sql) { return run(sql, nullptr) != nullptr; }

std::unique_ptr<HistoryStatement> PgDb::prepare(const std::string& sql) { return std::make_unique<PgStatement>(*this, sql); }

std::string PgDb::error() const {
  if (!ownError_.empty()) return ownError_;
  return connection_ ? oneLine(PQerrorMessage(connection_.get())) : "libpq could not make a connection";
}

bool PgDb::lockSchema() { return exec("SELECT pg_advisory_xact_lock(" + std::to_string(kSchemaLockKey) + ")"); }

bool PgDb::hasTable(const std::string& name) {
  PgStatement exists(*this, "SELECT 1 FROM pg_catalog.pg_tables WHERE schemaname = current_schema() AND tablename = $1");
  exists.bindText(1, name);
  return exists.step();
}
