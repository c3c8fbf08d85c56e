// The line service's pages of loads and the live view: what each reads and how it answers.
#include <httplib.h>

#include "JsonEvents.h"
#include "LineFigures.h"
#include "LineQuery.h"
#include "LineServer.h"
#include "LoadTable.h"

namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kCsv = "text/csv; charset=utf-8";

jsonevents::Json liveJsonOf(const LiveRow& row, int staleMs) {
  const LiveState& s = row.state;
  jsonevents::Json json;
  json["id"] = s.id;
  json["station"] = s.station;
  json["pid"] = s.pid;
  json["port"] = s.port;
  json["method"] = s.method;
  json["source"] = s.source;
  json["receiver_id"] = s.receiverId;
  json["receiver_model"] = s.receiverModel;
  json["work_order"] = s.workOrder;
  json["stage"] = s.stage;
  json["image"] = s.image;
  json["image_index"] = s.imageIndex;
  json["image_count"] = s.imageCount;
  json["percent"] = s.percent;
  json["seconds_left"] = s.secondsLeft ? jsonevents::Json(*s.secondsLeft) : jsonevents::Json();
  json["outcome"] = s.outcome;
  json["failure_kind"] = s.failureKind;
  json["reason"] = s.reason;
  json["started_at"] = row.startedAt;
  json["updated_at"] = row.updatedAt;
  json["ended_at"] = row.endedAt;
  json["age_ms"] = row.ageMs;
  json["stale"] = row.endedAt.empty() && row.ageMs > staleMs;
  return json;
}

std::string withoutNewline(std::string text) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

}  // namespace

bool LineServer::readLive(const std::string& id, std::vector<LiveRow>& rows, std::string& error) {
  return store_->with([&](LoadHistory& history, std::string& e) {
    rows = history.liveRuns(id, kEndedShownS, e);
    return e.empty();
  }, error);
}

bool LineServer::readLoads(const HistoryFilter& filter, std::vector<LoadRecord>& rows, bool& cut, std::string& error) {
  HistoryFilter asked = filter;
  asked.images = false;
  if (asked.limit > 0) ++asked.limit;  // one more than shown tells that there were more
  const bool ok = store_->with([&](LoadHistory& history, std::string& e) {
    rows = history.list(asked, e);
    return e.empty();
  }, error);
  cut = filter.limit > 0 && rows.size() > static_cast<std::size_t>(filter.limit);
  if (cut) rows.resize(static_cast<std::size_t>(filter.limit));
  return ok;
}

std::string LineServer::liveRowJson(const std::string& id) {
  std::vector<LiveRow> rows;
  std::string error;
  readLive(id, rows, error);
  return rows.empty() ? "" : withoutNewline(jsonevents::line(liveJsonOf(rows.front(), kStaleMs)));
}

void LineServer::nowPage(const Request&, Response& res, const linepages::Viewer& viewer) {
  std::vector<LiveRow> rows;
  std::string error;
  if (!readLive("", rows, error))
    return fail(res, &viewer, 503, "History not available", error);
  res.set_content(linepages::now(viewer, rows), kHtml);
}

void LineServer::liveJson(const Request&, Response& res, const linepages::Viewer&) {
  std::vector<LiveRow> rows;
  std::string error;
  if (!readLive("", rows, error)) {
    res.status = 503;
    res.set_content(withoutNewline(jsonevents::line({{"error", error}})), "application/json");
    return;
  }
  jsonevents::Json runs = jsonevents::Json::array();
  for (const LiveRow& row : rows) runs.push_back(liveJsonOf(row, kStaleMs));
  jsonevents::Json json;
  json["stale_after_ms"] = kStaleMs;
  json["listening"] = feed_->listening();
  json["runs"] = runs;
  res.set_content(jsonevents::line(json), "application/json");
}

// The live view's event stream: each run's row as its station writes it, "refresh" when the page
// should read the whole view again, a comment now and then so that a dead connection is seen.
void LineServer::liveStream(const Request&, Response& res, const linepages::Viewer&) {
  auto subscription = feed_->subscribe();
  res.set_header("X-Accel-Buffering", "no");
  res.set_chunked_content_provider(
      "text/event-stream",
      [subscription](std::size_t, httplib::DataSink& sink) {
        LiveFeed::Subscription::Message message;
        std::string text = ": alive\n\n";
        if (subscription->next(message, kStreamKeepAliveMs)) text = "event: " + message.event + "\ndata: " + message.data + "\n\n";
        return sink.is_writable() && sink.write(text.data(), text.size());
      },
      [this, subscription](bool) { feed_->unsubscribe(subscription); });
}

void LineServer::historyPage(const Request& req, Response& res, const linepages::Viewer& viewer, bool csv) {
  LineQuery query;
  std::string error;
  if (!LineQuery::read(req.params, std::chrono::system_clock::now(), viewer.offsetMinutes, query, error))
    return fail(res, &viewer, 400, "Bad request", error);
  std::vector<LoadRecord> rows;
  if (!readLoads(query.filter(viewer.offsetMinutes), rows, query.cut, error))
    return fail(res, &viewer, 503, "History not available", error);
  if (csv) {
    res.set_header("Content-Disposition", "attachment; filename=\"loads-" + query.from + "-" + query.to + ".csv\"");
    return res.set_content(loadtable::csv(rows, viewer.offsetMinutes), kCsv);
  }
  res.set_content(linepages::history(viewer, query, rows), kHtml);
}

void LineServer::loadPage(const Request& req, Response& res, const linepages::Viewer& viewer) {
  const std::string id = req.has_param("id") ? req.get_param_value("id") : "";
  if (id.empty() || id.size() > 64) return fail(res, &viewer, 400, "Bad request", "Which load? /load?id=ID");
  LoadRecord row;
  bool found = false;
  std::string error;
  if (!store_->with([&](LoadHistory& history, std::string& e) {
        found = history.row(id, row, e);
        if (found) row.log = history.logOf(id, e);
        return e.empty();
      }, error))
    return fail(res, &viewer, 503, "History not available", error);
  if (!found) return fail(res, &viewer, 404, "Not found", "The line's history has no load " + id + ".");
  std::string log, note;
  if (row.log.packed.empty()) note = "The station stored no activity log with this load.";
  else if (!logarchive::unpack(row.log, log, error)) note = "The activity log cannot be shown: " + error + ".";
  else if (row.log.cut)
    note = "The log had " + std::to_string(row.log.fileBytes) + " bytes on the station; its middle is left out here.";
  res.set_content(linepages::load(viewer, row, log, note), kHtml);
}

void LineServer::receiverPage(const Request& req, Response& res, const linepages::Viewer& viewer, bool csv) {
  const std::string id = req.has_param("id") ? req.get_param_value("id") : "";
  if (id.empty() || id.size() > LineQuery::kMaxTextBytes) return fail(res, &viewer, 400, "Bad request", "Which receiver? /receiver?id=ID");
  HistoryFilter filter;
  filter.receiverId = id;
  filter.limit = LineQuery::kMaxRows;
  std::vector<LoadRecord> rows;
  bool cut = false;
  std::string error;
  if (!readLoads(filter, rows, cut, error)) return fail(res, &viewer, 503, "History not available", error);
  if (csv) return res.set_content(loadtable::csv(rows, viewer.offsetMinutes), kCsv);
  res.set_content(linepages::receiver(viewer, id, rows, cut), kHtml);
}

void LineServer::figuresPage(const Request& req, Response& res, const linepages::Viewer& viewer, bool csv) {
  LineQuery query;
  std::string error;
  if (!LineQuery::read(req.params, std::chrono::system_clock::now(), viewer.offsetMinutes, query, error))
    return fail(res, &viewer, 400, "Bad request", error);
  HistoryFilter filter = query.filter(viewer.offsetMinutes);
  filter.limit = 0;  // every load of the period counts
  std::vector<LoadRecord> rows;
  bool cut = false;
  if (!readLoads(filter, rows, cut, error)) return fail(res, &viewer, 503, "History not available", error);
  const LineFigures figures = LineFigures::of(rows, viewer.offsetMinutes);
  if (csv) return res.set_content(linepages::figuresCsv(query, figures), kCsv);
  res.set_content(linepages::figures(viewer, query, figures), kHtml);
}
