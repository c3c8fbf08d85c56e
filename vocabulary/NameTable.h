#pragma once
#include <array>
#include <optional>
#include <string>
#include <utility>

// A table of values and the names they go by, read both ways: the one shape every word of the
// vocabulary (stages, outcomes, failure kinds, image results) is kept in.
namespace nametable {

template <typename T, std::size_t N>
using Table = std::array<std::pair<T, const char*>, N>;

// The name of value, or otherwise when the table has none.
template <typename T, std::size_t N>
const char* nameOf(const Table<T, N>& table, T value, const char* otherwise) {
  for (const auto& [v, name] : table)
    if (v == value) return name;
  return otherwise;
}

// The value a name stands for; none for a name the table does not hold.
template <typename T, std::size_t N>
std::optional<T> valueOf(const Table<T, N>& table, const std::string& name) {
  for (const auto& [v, text] : table)
    if (name == text) return v;
  return std::nullopt;
}

}  // namespace nametable
