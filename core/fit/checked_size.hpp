#pragma once
// Size arithmetic on counts that come from the caller: a product or sum that
// would wrap is nullopt, so a huge count fails a check instead of indexing
// outside a vector.

#include <algorithm>
#include <cstddef>
#include <limits>
#include <optional>

namespace nivaltus::fit {

inline std::optional<std::size_t> checked_product(std::size_t a, std::size_t b) {
  if (a != 0 && b > std::numeric_limits<std::size_t>::max() / a) return std::nullopt;
  return a * b;
}

inline std::optional<std::size_t> checked_product(std::size_t a, std::size_t b, std::size_t c) {
  const auto ab = checked_product(a, b);
  if (!ab) return std::nullopt;
  return checked_product(*ab, c);
}

inline std::optional<std::size_t> checked_sum(std::size_t a, std::size_t b) {
  if (b > std::numeric_limits<std::size_t>::max() - a) return std::nullopt;
  return a + b;
}

// A count as a double in the tolerances and divisors, saturated at 2^32 - 1
// as a 32-bit count would be.
inline double saturated_count(std::size_t count) {
  return static_cast<double>(std::min<std::size_t>(count, 4294967295u));
}

}  // namespace nivaltus::fit
