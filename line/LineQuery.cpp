#include "LineQuery.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "Html.h"
#include "ViewerClock.h"

namespace {

const char* const kOutcomes[] = {"confirmed", "unconfirmed", "failed", "aborted", "refused", "interrupted"};

bool acceptable(const std::string& text) {
  if (text.size() > LineQuery::kMaxTextBytes) return false;
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  return true;
}

std::string value(const std::multimap<std::string, std::string>& params, const std::string& key) {
  const auto it = params.find(key);
  return it == params.end() ? std::string() : it->second;
}

}  // namespace

bool LineQuery::read(const std::multimap<std::string, std::string>& params, std::chrono::system_clock::time_point now,
                     int offsetMinutes, LineQuery& query, std::string& error) {
  query = {};
  std::pair<const char*, std::string*> fields[] = {{"from", &query.from},         {"to", &query.to},
                                                   {"station", &query.station},   {"outcome", &query.outcome},
                                                   {"receiver", &query.receiver}, {"firmware", &query.firmware},
                                                   {"work_order", &query.workOrder}};
  for (auto& [key, field] : fields) {
    *field = value(params, key);
    if (!acceptable(*field)) {
      error = std::string("The value of ") + key + " is longer than " + std::to_string(kMaxTextBytes) +
              " bytes or holds a control character.";
      return false;
    }
  }
  const std::string today = viewerclock::today(now, offsetMinutes);
  if (query.from.empty()) query.from = query.to.empty() ? today : query.to;
  if (query.to.empty()) query.to = query.from < today ? today : query.from;
  for (const std::string* date : {&query.from, &query.to})
    if (!viewerclock::isDate(*date)) {
      error = "A date is written YYYY-MM-DD (from 1970 on): \"" + *date + "\" is none.";
      return false;
    }
  if (query.to < query.from) {
    error = "The period ends (" + query.to + ") before it begins (" + query.from + ").";
    return false;
  }
  if (!query.outcome.empty() && std::find(std::begin(kOutcomes), std::end(kOutcomes), query.outcome) == std::end(kOutcomes)) {
    error = "\"" + query.outcome + "\" is no outcome: confirmed, unconfirmed, failed, aborted, refused or interrupted.";
    return false;
  }
  return true;
}

HistoryFilter LineQuery::filter(int offsetMinutes) const {
  HistoryFilter filter;
  filter.since = viewerclock::dayStart(from, offsetMinutes);
  filter.until = viewerclock::dayAfter(to, offsetMinutes);
  filter.station = station;
  filter.outcome = outcome;
  filter.receiverId = receiver;
  filter.firmware = firmware;
  filter.workOrder = workOrder;
  filter.limit = kMaxRows;
  return filter;
}

std::string LineQuery::urlQuery() const {
  std::string text;
  const std::pair<const char*, const std::string*> fields[] = {{"from", &from},         {"to", &to},
                                                               {"station", &station},   {"outcome", &outcome},
                                                               {"receiver", &receiver}, {"firmware", &firmware},
                                                               {"work_order", &workOrder}};
  for (const auto& [key, field] : fields) {
    if (field->empty()) continue;
    // built by appending: GCC 12 warns falsely on a literal joined to temporaries here
    if (!text.empty()) text += '&';
    text += key;
    text += '=';
    text += html::queryValue(*field);
  }
  return text;
}
