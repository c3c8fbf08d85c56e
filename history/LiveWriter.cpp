#include "LiveWriter.h"

#include "HistoryDb.h"
#include "HistoryServer.h"

namespace {

// The upsert and its notification: started_at stays the first write's; ended_at is set once the
// state has an outcome.
constexpr const char* kUpsertSql =
    "WITH up AS (INSERT INTO live_runs (id, station, pid, port, method, source, receiver_id, receiver_model,"
    " work_order, stage, image, image_index, image_count, percent, seconds_left, outcome, failure_kind, reason,"
    " started_at, updated_at, ended_at)"
    " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16, $17, $18, now(), now(),"
    " CASE WHEN $16::text IS NULL THEN NULL ELSE now() END)"
    " ON CONFLICT (id) DO UPDATE SET station = excluded.station, pid = excluded.pid, port = excluded.port,"
    " method = excluded.method, source = excluded.source, receiver_id = excluded.receiver_id,"
    " receiver_model = excluded.receiver_model, work_order = excluded.work_order, stage = excluded.stage,"
    " image = excluded.image, image_index = excluded.image_index, image_count = excluded.image_count,"
    " percent = excluded.percent, seconds_left = excluded.seconds_left, outcome = excluded.outcome,"
    " failure_kind = excluded.failure_kind, reason = excluded.reason, updated_at = now(),"
    " ended_at = COALESCE(live_runs.ended_at, excluded.ended_at)"
    " RETURNING id)"
    " SELECT pg_notify('vestrel_live', id) FROM up";

void bindState(HistoryStatement& statement, const LiveState& state) {
  statement.bindText(1, state.id);
  statement.bindText(2, state.station);
  statement.bindInt(3, state.pid);
  const std::string* texts[] = {&state.port,          &state.method,    &state.source, &state.receiverId,
                                &state.receiverModel, &state.workOrder, &state.stage,  &state.image};
  int index = 4;
  for (const std::string* text : texts) statement.bindText(index++, *text);
  statement.bindInt(12, state.imageIndex);
  statement.bindInt(13, state.imageCount);
  statement.bindInt(14, state.percent);
  if (state.secondsLeft) statement.bindInt(15, *state.secondsLeft);
  else statement.bindNull(15);
  statement.bindText(16, state.outcome);
  statement.bindText(17, state.failureKind);
  statement.bindText(18, state.reason);
}

}  // namespace

LiveWriter::LiveWriter(std::string url, const CMNC::AbortSignal* stop) : url_(std::move(url)), stop_(stop) {}
LiveWriter::~LiveWriter() = default;

bool LiveWriter::write(const LiveState& state, std::string& error) {
  if (!db_) db_ = historyserver::connect(url_, error, stop_);
  if (!db_) return false;
  if (!cleared_) cleared_ = clearOld(*db_);
  if (upsert(*db_, state, error)) return true;
  db_.reset();
  return false;
}

bool LiveWriter::clearOld(HistoryDb& db) { return db.exec("DELETE FROM live_runs WHERE ended_at < now() - interval '1 day'"); }

bool LiveWriter::upsert(HistoryDb& db, const LiveState& state, std::string& error) {
  auto statement = db.prepare(kUpsertSql);
  bindState(*statement, state);
  while (statement->step()) {
  }
  if (statement->done()) return true;
  error = db.error();
  return false;
}
