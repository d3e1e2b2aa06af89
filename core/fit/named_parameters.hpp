#pragma once
// Parameter values given by name, as an EOS fit hands them to a model
// rebuild: a list of names and a list of values, one per name. Names are
// compared as exact byte strings; a name given twice takes the value of its
// first occurrence.

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/fit/fit_error.hpp"
#include "core/parameter_table.hpp"

namespace nivaltus::native_fit {

// Names of the reference model's parameters inside a thermal model start
// with this prefix.
inline constexpr std::string_view reference_prefix = "rt_eos.";

// The value paired with the first name equal to `name`; `current` when none
// is. `values` is at least as long as `names`.
inline double value(std::span<const std::string> names, std::span<const double> values, std::string_view name,
                    double current) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) return values[i];
  }
  return current;
}

// The reference model's (name without prefix, value) pairs, in input order.
struct ReferenceUpdates {
  std::vector<std::string> names;
  std::vector<double> values;
};
ReferenceUpdates reference_updates(std::span<const std::string> names, std::span<const double> values);

// The text written between double quotes, with backslash escapes for quotes,
// backslashes and control characters.
std::string quoted(std::string_view text);

// InvalidInput "parameter \"<name>\" is unavailable for the native EOS".
fit::FitError unavailable(std::string_view name);

// InvalidInput when the two lists differ in length.
fit::FitResult<void> check_lengths(std::span<const std::string> names, std::span<const double> values);

// The table's values of `current`, each replaced by its named value. Fails
// with `unavailable` at the first name, in list order, that neither the
// table holds nor `also_accepted` accepts.
template <class Model, std::size_t N, class Accepted>
fit::FitResult<std::array<double, N>> named_values(const ParameterTable<Model, N>& table,
                                                   const Model& current, std::span<const std::string> names,
                                                   std::span<const double> values,
                                                   const Accepted& also_accepted) {
  for (const std::string& name : names) {
    if (parameter_index(table, name) == N && !also_accepted(name)) return std::unexpected(unavailable(name));
  }
  std::array<double, N> result{};
  for (std::size_t i = 0; i < N; ++i) result[i] = value(names, values, table[i].name, table[i].read(current));
  return result;
}

template <class Model, std::size_t N>
fit::FitResult<std::array<double, N>> named_values(const ParameterTable<Model, N>& table,
                                                   const Model& current, std::span<const std::string> names,
                                                   std::span<const double> values) {
  return named_values(table, current, names, values, [](std::string_view) { return false; });
}

}  // namespace nivaltus::native_fit
