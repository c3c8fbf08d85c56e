#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One JSON value as read from a child's event line or from the port list: enough of JSON for
// what vestrel prints (objects, arrays, strings with every escape, numbers, true, false, null).
struct JsonValue {
  enum class Type { Null, Bool, Number, String, Array, Object };
  Type type = Type::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;          // an array's values, or an object's member values
  std::vector<std::string> keys;         // an object's member names, one per item

  // The member of an object, or nullptr.
  const JsonValue* find(const std::string& key) const;
  // A member's string, number or boolean; the fallback when it is missing or of another type.
  std::string string(const std::string& key, const std::string& fallback = "") const;
  double num(const std::string& key, double fallback = 0) const;
  bool flag(const std::string& key, bool fallback = false) const;
};

// The value the whole text holds (surrounding white space allowed); nullopt when it is not JSON
// or nests deeper than 64 levels.
std::optional<JsonValue> parseJson(std::string_view text);
