#include "ServiceRows.h"

#include <nlohmann/json.hpp>

#include "LivePublisher.h"
#include "RowJson.h"
#include "StationApiPaths.h"

namespace {

using nlohmann::json;

// The service's own word on a refusal, as a warning may show it: one line of at most kMaxWordBytes,
// no control characters.
constexpr std::size_t kMaxWordBytes = 400;

std::string serviceWord(const std::string& body) {
  const json answer = json::parse(body, nullptr, false);
  if (!answer.is_object() || !answer.contains("error") || !answer["error"].is_string()) return "";
  std::string word = answer["error"].get<std::string>().substr(0, kMaxWordBytes);
  for (char& c : word)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  return word;
}

}  // namespace

ServiceRows::ServiceRows(std::string url, ServiceAccess access, const CMNC::AbortSignal* stop)
    : url_(std::move(url)), access_(std::move(access)), client_({url_, access_.token, access_.caFile}, stop) {}

std::string ServiceRows::refusal(const std::string& url, const ServiceClient::Answer& answer) {
  const std::string word = serviceWord(answer.body);
  const std::string said = word.empty() ? "" : " The service said: " + word;
  switch (answer.status) {
    case 401:
      return "The line service at " + url +
             " does not take this station's token (it was revoked, or never issued there): an admin issues a new one on "
             "the service's Stations page; put it in the file --history-token-file names, or store it with vestrel "
             "--save-history-token." + said;
    case 403: return "The line service at " + url + " refused the row." + said;
    case 404: return "No line service answers at " + url + " (HTTP 404): is the URL the service's own, https://HOST:PORT/?";
    case 413: return "The line service at " + url + " refused the request as too large." + said;
    default:
      return "The line service at " + url + " could not take the row (HTTP " + std::to_string(answer.status) + ")." + said;
  }
}

bool ServiceRows::call(const char* path, const std::string& json, std::string& answer, std::string& error) {
  ServiceClient::Answer got;
  if (!client_.post(path, json, got, error)) return false;
  if (got.status != 200) return error = refusal(url_, got), false;
  answer = std::move(got.body);
  return true;
}

bool ServiceRows::hello(std::string& error) {
  std::string answer;
  return call(stationapi::kHello, "{}", answer, error);
}

bool ServiceRows::begin(const LoadRecord& row, std::string& error) {
  std::string answer;
  return call(stationapi::kBegin, rowjson::toJson(row), answer, error);
}

bool ServiceRows::finish(const LoadRecord& row, std::string& error) {
  bool written = false;
  return deliver(row, written, error);
}

bool ServiceRows::deliver(const LoadRecord& row, bool& written, std::string& error) {
  std::string answer;
  if (!call(stationapi::kFinish, rowjson::toJson(row), answer, error)) return false;
  const json parsed = json::parse(answer, nullptr, false);
  written = parsed.is_object() && parsed.value("written", false);
  return true;
}

void ServiceRows::markInterrupted(const std::string&, const std::function<bool(int64_t pid)>& running) {
  std::string answer, error;
  if (!call(stationapi::kOpenRuns, "{}", answer, error)) return;
  const json parsed = json::parse(answer, nullptr, false);
  if (!parsed.is_object() || !parsed.contains("runs") || !parsed["runs"].is_array()) return;
  json gone = json::array();
  for (const json& run : parsed["runs"])
    if (run.is_object() && run.contains("pid") && run["pid"].is_number_integer() && !running(run["pid"].get<int64_t>()))
      gone.push_back(run["pid"].get<int64_t>());
  if (!gone.empty()) call(stationapi::kInterrupted, json{{"gone", gone}}.dump(), answer, error);
}

std::unique_ptr<LivePublisher> ServiceRows::publisher(const std::string& url, const ServiceAccess& access,
                                                      const CMNC::AbortSignal* stop) {
  // The publisher's own client: its requests go from the publisher's thread, cut short by its stop.
  return std::make_unique<LivePublisher>(
      [url, access](const CMNC::AbortSignal* abort) -> LivePublisher::Write {
        auto client = std::make_shared<ServiceClient>(ServiceClient::Settings{url, access.token, access.caFile}, abort);
        return [client](const LiveState& state) {
          ServiceClient::Answer answer;
          std::string error;
          return client->post(stationapi::kLive, rowjson::toJson(state), answer, error) && answer.status == 200;
        };
      },
      stop);
}
