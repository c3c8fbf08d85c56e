#pragma once
#include <string>

#include "LiveState.h"
#include "LoadRecord.h"

// A history row (with its images and its stored log) and a run's live state as the station API's
// JSON: what a station sends the line service and what the service reads, one codec for both. A
// text read is bounded, and so are the images and the log: a request that exceeds them, or names a
// field of the wrong type, is refused whole, with the field it was.
namespace rowjson {

// The most a text field holds; a command line or a reason is far shorter.
constexpr std::size_t kMaxTextBytes = 16 * 1024;
// The most images one row lists.
constexpr std::size_t kMaxImages = 256;
// The most a stored log's compressed bytes may be (its text is at most 1 MiB).
constexpr std::size_t kMaxPackedLogBytes = 2 * 1024 * 1024;

std::string toJson(const LoadRecord& row);
std::string toJson(const LiveState& state);
// false with error set (which field, and why) when text is not such a row.
bool fromJson(const std::string& text, LoadRecord& row, std::string& error);
bool fromJson(const std::string& text, LiveState& state, std::string& error);

std::string base64(const std::string& bytes);
// false when text is not base64.
bool fromBase64(const std::string& text, std::string& bytes);

}  // namespace rowjson
