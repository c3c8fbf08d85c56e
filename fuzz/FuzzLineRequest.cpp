// What a request to the line service carries into its own code: a page's query (dates, filters),
// the viewer's offset cookie, a stored activity log read back from the server, and a station's
// row or live state as the station API reads its JSON. Any bytes: each
// is taken or refused with why, never a crash; what is shown comes out escaped, and a query the
// service takes gives the same query again from the URL it writes for its CSV.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <chrono>
#include <iterator>
#include <map>
#include <string>

#include "Html.h"
#include "LineQuery.h"
#include "LogArchive.h"
#include "RowJson.h"
#include "ViewerClock.h"

namespace {

const char* const kKeys[] = {"from", "to", "station", "outcome", "receiver", "firmware", "work_order"};

// "key=value" pairs separated by '&', undecoded: the fuzzer's bytes are the decoded values.
std::multimap<std::string, std::string> paramsOf(const std::string& text) {
  std::multimap<std::string, std::string> params;
  std::size_t key = 0, at = 0;
  while (at <= text.size()) {
    const std::size_t end = std::min(text.find('&', at), text.size());
    params.emplace(kKeys[key++ % std::size(kKeys)], text.substr(at, end - at));
    at = end + 1;
  }
  return params;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const int offset = viewerclock::offsetFrom(text.substr(0, 6));
  if (offset < -14 * 60 || offset > 14 * 60) __builtin_trap();
  LineQuery query;
  std::string error;
  const auto now = std::chrono::system_clock::time_point{} + std::chrono::hours(24 * 20000);
  if (LineQuery::read(paramsOf(text), now, offset, query, error)) {
    const HistoryFilter filter = query.filter(offset);
    if (filter.since.empty() || filter.until.empty() || !(filter.since < filter.until)) __builtin_trap();
    const std::string url = query.urlQuery();
    if (url.find_first_of("<>\"' \n") != std::string::npos) __builtin_trap();
  } else if (error.empty()) {
    __builtin_trap();  // a refusal always says why
  }
  const std::string shown = html::escape(text);
  if (shown.find_first_of("<>\"'") != std::string::npos) __builtin_trap();
  viewerclock::shown(text, offset);

  // A stored log whose bytes are anything: unpacked or refused, never more than a log may hold.
  StoredLog log;
  log.packed = text;
  log.textBytes = size > 0 ? data[0] * 4096 : 0;
  std::string unpacked;
  if (logarchive::unpack(log, unpacked, error) && unpacked.size() != static_cast<std::size_t>(log.textBytes)) __builtin_trap();

  // A station's request body: a row taken within its bounds, written back and read again the same,
  // or refused with why.
  LoadRecord row;
  error.clear();
  if (rowjson::fromJson(text, row, error)) {
    if (row.id.empty() || row.images.size() > rowjson::kMaxImages || row.log.packed.size() > rowjson::kMaxPackedLogBytes)
      __builtin_trap();
    LoadRecord again;
    if (!rowjson::fromJson(rowjson::toJson(row), again, error) || again.id != row.id || again.reason != row.reason ||
        again.images.size() != row.images.size() || again.log.packed != row.log.packed)
      __builtin_trap();
  } else if (error.empty()) {
    __builtin_trap();
  }
  LiveState state;
  error.clear();
  if (!rowjson::fromJson(text, state, error) && error.empty()) __builtin_trap();
  return 0;
}
