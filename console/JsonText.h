#pragma once
#include <string>

// JSON's text forms for what the console writes.
namespace json {

// s as a JSON string, quotes included: control characters escaped, bytes that are not UTF-8
// (a receiver may answer anything) replaced by U+FFFD, so every line stays valid JSON.
std::string quote(const std::string& s);
// s quoted, or null when it is empty (a value that was not asked or not answered).
std::string quoteOrNull(const std::string& s);

}  // namespace json
