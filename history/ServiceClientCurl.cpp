#include <curl/curl.h>

#include <mutex>

#include "AbortSignal.h"
#include "ServiceClient.h"

namespace {

// libcurl's global set-up, once per process, before any handle (it is not thread-safe itself).
void initialiseOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t collect(char* data, size_t size, size_t count, void* out) {
  auto* body = static_cast<std::string*>(out);
  if (body->size() + size * count > ServiceClient::kMaxAnswerBytes) return 0;  // too long: the transfer ends
  body->append(data, size * count);
  return size * count;
}

bool certificateRefused(CURLcode code) {
  return code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_SSL_CACERT_BADFILE || code == CURLE_SSL_CERTPROBLEM;
}

}  // namespace

struct ServiceClient::Platform {
  CURL* easy = nullptr;
  CURLM* multi = nullptr;
  ~Platform() {
    if (multi && easy) curl_multi_remove_handle(multi, easy);
    if (easy) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
  }
};

ServiceClient::ServiceClient(Settings settings, const CMNC::AbortSignal* stop)
    : settings_(std::move(settings)), stop_(stop), platform_(std::make_unique<Platform>()) {
  initialiseOnce();
}
ServiceClient::~ServiceClient() = default;

bool ServiceClient::post(const std::string& path, const std::string& json, Answer& answer, std::string& error) {
  answer = {};
  // One easy handle kept: its connection is used again by the next request.
  if (!platform_->easy) platform_->easy = curl_easy_init();
  if (!platform_->multi) platform_->multi = curl_multi_init();
  CURL* easy = platform_->easy;
  if (!easy || !platform_->multi) return error = "libcurl could not be set up.", false;
  std::string url = settings_.url;
  while (!url.empty() && url.back() == '/') url.pop_back();
  url += path;
  char curlError[CURL_ERROR_SIZE] = {};
  curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
  headers = curl_slist_append(headers, ("Authorization: Bearer " + settings_.token).c_str());
  headers = curl_slist_append(headers, "Expect:");
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "https");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(easy, CURLOPT_POSTFIELDS, json.data());
  curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(json.size()));
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, collect);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &answer.body);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, curlError);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(kConnectTimeoutMs));
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(kRequestTimeoutMs));
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  if (!settings_.caFile.empty()) {
    // The named file alone is trusted: the line's own authority, not every public one.
    curl_easy_setopt(easy, CURLOPT_CAINFO, settings_.caFile.c_str());
    curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
  }
  curl_multi_add_handle(platform_->multi, easy);
  int running = 1;
  CURLcode result = CURLE_OK;
  bool stopped = false;
  while (running > 0) {
    if (stop_ && stop_->isSet()) {
      stopped = true;
      break;
    }
    if (curl_multi_perform(platform_->multi, &running) != CURLM_OK) break;
    if (running > 0) curl_multi_poll(platform_->multi, nullptr, 0, kStopSliceMs, nullptr);
  }
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(platform_->multi, &left))
    if (message->msg == CURLMSG_DONE) result = message->data.result;
  curl_multi_remove_handle(platform_->multi, easy);
  curl_slist_free_all(headers);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
  if (stopped) {
    // A request cut short leaves its connection in an unknown state: the next one starts afresh.
    curl_easy_cleanup(easy);
    platform_->easy = nullptr;
    return error = "The run was stopped before the line service answered.", false;
  }
  if (result != CURLE_OK) {
    const std::string detail = curlError[0] ? curlError : curl_easy_strerror(result);
    if (certificateRefused(result)) error = untrustedRemedy(settings_.url) + " (" + detail + ")";
    else if (result == CURLE_WRITE_ERROR) error = "The line service's answer is longer than a station reads.";
    else error = "The line service at " + settings_.url + " cannot be reached: " + detail + ".";
    return false;
  }
  long status = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  answer.status = static_cast<int>(status);
  return true;
}
