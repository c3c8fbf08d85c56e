#include "JsonEvents.h"

namespace jsonevents {

std::string line(const Json& value) {
  return value.dump(-1, ' ', true, Json::error_handler_t::replace) + "\n";
}

Json textOrNull(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }

std::optional<Json> read(const std::string& line) {
  Json value = Json::parse(line, nullptr, false);
  if (value.is_discarded() || !value.is_object()) return std::nullopt;
  const auto event = value.find("event");
  if (event == value.end() || !event->is_string()) return std::nullopt;
  return value;
}

std::string text(const Json& object, const char* field) { return text(object, field, std::string()); }

std::string text(const Json& object, const char* field, const std::string& fallback) {
  const auto it = object.find(field);
  return it != object.end() && it->is_string() ? it->get<std::string>() : fallback;
}

double real(const Json& object, const char* field, double fallback) {
  const auto it = object.find(field);
  return it != object.end() && it->is_number() ? it->get<double>() : fallback;
}

Json object(const Json& object, const char* field) {
  const auto it = object.find(field);
  return it != object.end() && it->is_object() ? *it : Json::object();
}

long long number(const Json& object, const char* field, long long fallback) {
  const auto it = object.find(field);
  if (it == object.end() || !it->is_number()) return fallback;
  if (it->is_number_float()) {
    const double value = it->get<double>();
    return value > -9e18 && value < 9e18 ? static_cast<long long>(value) : fallback;
  }
  if (it->is_number_unsigned() && it->get<unsigned long long>() > 9000000000000000000ULL) return fallback;
  return it->get<long long>();
}

}  // namespace jsonevents
