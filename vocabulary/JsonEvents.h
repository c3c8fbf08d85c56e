#pragma once
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

// The JSON lines vestrel writes with --json and the fleet reads: one object a line, with "time"
// and "event" ("start", "status", "log", "warning", "stage", "receiver", "progress", "result").
namespace jsonevents {

// Objects keep their fields in the order written: "time" and "event" first.
using Json = nlohmann::ordered_json;

// The events' schema number, in the "start" event; a change of fields is a new number.
constexpr int kSchema = 3;

// A value as one line of JSON: non-ASCII escaped (so no control character or terminal escape
// reaches a reader), text that is no UTF-8 replaced, a line feed at the end.
std::string line(const Json& value);
// A text, or null when it is empty.
Json textOrNull(const std::string& text);
// One event line read; none for a line that is no JSON object naming its "event".
std::optional<Json> read(const std::string& line);
// A field of an object as text, or "" when it is missing or no text.
std::string text(const Json& object, const char* field);
// A field of an object as text, or fallback when it is missing or no text (null included).
std::string text(const Json& object, const char* field, const std::string& fallback);
// A field of an object as a whole number, or fallback when it is missing or no number.
long long number(const Json& object, const char* field, long long fallback);
// A field of an object as a number, or fallback when it is missing or no number.
double real(const Json& object, const char* field, double fallback);
// A field of an object that is an object, or an empty object.
Json object(const Json& object, const char* field);

}  // namespace jsonevents
