#pragma once
#include <string>

#include "LoadJob.h"

// A station's token for the line service: read from the file --history-token-file names (private
// to its owner), else from the system's secret store, where --save-history-token put it; never from
// the command line or the environment, which others can read.
namespace servicetoken {

// The most a token may be; the service's are far shorter.
constexpr std::size_t kMaxTokenBytes = 256;

// The secret store's key of the token for the service at url.
std::string secretKey(const std::string& url);
// The history's service token, and its certificate file checked; false with error set (and the
// remedy) when there is no token or the file cannot be used.
bool resolve(HistorySettings& history, std::string& error);
// Whether text can be a token: printable ASCII without spaces.
bool wellFormed(const std::string& token);
// Keeps token for the service at url in the secret store; false with why.
bool save(const std::string& url, const std::string& token, std::string& error);

}  // namespace servicetoken
