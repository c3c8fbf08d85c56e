#pragma once
#include <cstddef>

// The line service's station API: where a station's requests go (each a POST of JSON with the
// station's token as a bearer token) and what the service takes at most.
namespace stationapi {

constexpr const char* kHello = "/api/station/v1/hello";              // {} -> {"station": NAME}
constexpr const char* kBegin = "/api/station/v1/begin";              // a row -> {"written": bool}
constexpr const char* kFinish = "/api/station/v1/finish";            // a row -> {"written": bool}
constexpr const char* kLive = "/api/station/v1/live";                // a live state -> {}
constexpr const char* kOpenRuns = "/api/station/v1/open-runs";       // {} -> {"runs": [{"id", "pid"}]}
constexpr const char* kInterrupted = "/api/station/v1/interrupted";  // {"gone": [pid]} -> {"marked": n}

// The largest request: a row with its images and its compressed log, in base64.
constexpr std::size_t kMaxRequestBytes = 4 * 1024 * 1024;

}  // namespace stationapi
