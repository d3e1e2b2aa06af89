#pragma once
// Choices named by fixed texts: a table of (text, value) pairs, searched in
// order with exact, case-sensitive comparison. One form serves every closed
// set chosen by name (quantities, laws, losses).

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

namespace nivaltus {

template <class Value, std::size_t N>
using NameTable = std::array<std::pair<std::string_view, Value>, N>;

// The value named by text; nullopt for any other text.
template <class Value, std::size_t N>
constexpr std::optional<Value> value_from_name(const NameTable<Value, N>& table, std::string_view text) {
  for (const auto& [name, value] : table) {
    if (name == text) return value;
  }
  return std::nullopt;
}

// The text of a value; empty when the table does not hold it.
template <class Value, std::size_t N>
constexpr std::string_view name_of_value(const NameTable<Value, N>& table, Value value) {
  for (const auto& [name, held] : table) {
    if (held == value) return name;
  }
  return {};
}

}  // namespace nivaltus
