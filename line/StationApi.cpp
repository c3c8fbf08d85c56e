#include "StationApi.h"

#include <nlohmann/json.hpp>

#include <iostream>
#include <set>

#include "LineStore.h"
#include "PrintableText.h"
#include "RowJson.h"
#include "StationApiPaths.h"
#include "StationTokens.h"

namespace {

using nlohmann::json;
using Answer = StationApi::Answer;

Answer refused(int status, const std::string& why) {
  return {status, json{{"error", why}}.dump(-1, ' ', true, json::error_handler_t::replace)};
}

Answer unavailable(const std::string& error) {
  std::cerr << "vestrel-line: the station API cannot write the line's history: " << printable(error) << std::endl;
  return refused(503, "The line's history server cannot be written now; the station keeps the row and sends it later.");
}

std::string bearer(const std::string& authorization) {
  const std::string scheme = "Bearer ";
  return authorization.rfind(scheme, 0) == 0 ? authorization.substr(scheme.size()) : "";
}

// The station whose row of id is there, "" when none is; false when the history could not be read.
bool ownerOf(LoadHistory& history, const std::string& id, std::string& owner, std::string& error) {
  LoadRecord existing;
  error.clear();
  owner.clear();
  if (history.row(id, existing, error)) owner = existing.station.empty() ? "?" : existing.station;
  return error.empty();
}

// What a row must have for the history to take it; "" when it has it.
std::string incomplete(const LoadRecord& row) {
  if (row.startedAt.size() < 20 || row.startedAt.size() > 40) return "\"started_at\" is not a time.";
  if (row.station.empty()) return "\"station\" is missing.";
  return "";
}

Answer notYours(const std::string& station, const std::string& named) {
  return refused(403, "This station's token is for " + station + "; the row is " + named +
                          "'s. A station writes only its own rows.");
}

}  // namespace

StationApi::StationApi(StationTokens& tokens, LineStore& writer) : tokens_(tokens), writer_(writer) {}

Answer StationApi::handle(const std::string& path, const std::string& authorization, const std::string& body) {
  const auto station = tokens_.stationOf(bearer(authorization));
  if (!station)
    return refused(401, "This service knows no such station token (revoked, or never issued): an admin issues one on the "
                        "Stations page.");
  if (path == stationapi::kHello) return {200, json{{"station", *station}}.dump()};
  if (path == stationapi::kBegin) return begin(*station, body);
  if (path == stationapi::kFinish) return finish(*station, body);
  if (path == stationapi::kLive) return live(*station, body);
  if (path == stationapi::kOpenRuns) return openRuns(*station);
  if (path == stationapi::kInterrupted) return interrupted(*station, body);
  return refused(404, "The station API has no such request.");
}

// A row of the station's, written by write once its run is known to be the station's or nobody's.
Answer StationApi::takeRow(const std::string& station, const std::string& body, const RowWrite& write) {
  LoadRecord row;
  std::string error;
  if (!rowjson::fromJson(body, row, error) || !(error = incomplete(row)).empty()) return refused(400, "Not a row: " + error);
  if (!StationTokens::sameStation(row.station, station)) return notYours(station, row.station);
  Answer answer;
  const bool wrote = writer_.with(
      [&](LoadHistory& history, std::string& e) {
        std::string owner;
        if (!ownerOf(history, row.id, owner, e)) return false;
        if (!owner.empty() && !StationTokens::sameStation(owner, station)) return answer = notYours(station, owner), true;
        bool written = false;
        if (!write(history, row, !owner.empty(), written, e)) return false;
        return answer = {200, json{{"written", written}}.dump()}, true;
      },
      error);
  return wrote ? answer : unavailable(error);
}

Answer StationApi::begin(const std::string& station, const std::string& body) {
  return takeRow(station, body,
                 [](LoadHistory& history, const LoadRecord& row, bool there, bool& written, std::string& error) {
                   written = !there;  // a start sent again is there already
                   return there || history.begin(row, error);
                 });
}

Answer StationApi::finish(const std::string& station, const std::string& body) {
  return takeRow(station, body,
                 [](LoadHistory& history, const LoadRecord& row, bool, bool& written, std::string& error) {
                   return history.deliver(row, written, error);
                 });
}

Answer StationApi::live(const std::string& station, const std::string& body) {
  LiveState state;
  std::string error;
  if (!rowjson::fromJson(body, state, error)) return refused(400, "Not a live state: " + error);
  if (!StationTokens::sameStation(state.station, station)) return notYours(station, state.station);
  Answer answer;
  const bool wrote = writer_.with(
      [&](LoadHistory& history, std::string& e) {
        std::string owner;
        if (!ownerOf(history, state.id, owner, e)) return false;
        const std::vector<LiveRow> rows = history.liveRuns(state.id, 0, e);
        if (!e.empty()) return false;
        for (const LiveRow& row : rows)
          if (owner.empty()) owner = row.state.station;
        if (!owner.empty() && !StationTokens::sameStation(owner, station)) return answer = notYours(station, owner), true;
        if (!history.publishLive(state, rows.empty(), e)) return false;
        return answer = {200, "{}"}, true;
      },
      error);
  return wrote ? answer : unavailable(error);
}

Answer StationApi::openRuns(const std::string& station) {
  json runs = json::array();
  std::string error;
  const bool read = writer_.with(
      [&](LoadHistory& history, std::string&) {
        // Each open row's process, as the station alone can tell whether it still runs.
        history.markInterrupted(station, [&](int64_t pid) {
          runs.push_back({{"pid", pid}});
          return true;
        });
        return true;
      },
      error);
  return read ? Answer{200, json{{"runs", runs}}.dump()} : unavailable(error);
}

Answer StationApi::interrupted(const std::string& station, const std::string& body) {
  const json request = json::parse(body, nullptr, false);
  if (!request.is_object() || !request.contains("gone") || !request["gone"].is_array() || request["gone"].size() > 10000)
    return refused(400, "Not a list of the processes that are gone (\"gone\": [pid, ...]).");
  std::set<int64_t> gone;
  for (const json& pid : request["gone"]) {
    if (!pid.is_number_integer()) return refused(400, "A process id is not a whole number.");
    gone.insert(pid.get<int64_t>());
  }
  int marked = 0;
  std::string error;
  const bool wrote = writer_.with(
      [&](LoadHistory& history, std::string&) {
        marked = history.markInterrupted(station, [&](int64_t pid) { return gone.count(pid) == 0; });
        return true;
      },
      error);
  return wrote ? Answer{200, json{{"marked", marked}}.dump()} : unavailable(error);
}
