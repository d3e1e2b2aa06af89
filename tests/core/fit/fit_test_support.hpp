#pragma once
// Shared pieces of the fitting tests: error matchers and vector comparisons.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "core/fit/fit_error.hpp"
#include "tests/core/test_support.hpp"

namespace nivaltus::fit::test {

using nivaltus::test::fails_with;
using nivaltus::test::inf;
using nivaltus::test::nan;
using nivaltus::test::relatively_near;

using Vector = std::vector<double>;

inline FitError input(std::string message) { return FitError::invalid_input(std::move(message)); }

// Every element within tolerance·max(|expected|, floor) of the expected one.
inline ::testing::AssertionResult all_near(std::span<const double> actual, std::span<const double> expected,
                                           double tolerance, double floor = 0.0) {
  if (actual.size() != expected.size()) {
    return ::testing::AssertionFailure() << "size " << actual.size() << " != " << expected.size();
  }
  for (std::size_t i = 0; i < actual.size(); ++i) {
    const double bound = tolerance * std::max(std::abs(expected[i]), floor);
    if (!(std::abs(actual[i] - expected[i]) <= bound)) {
      return ::testing::AssertionFailure() << "element " << i << ": " << actual[i] << " vs " << expected[i];
    }
  }
  return ::testing::AssertionSuccess();
}

// Bitwise equality of two vectors (NaN payloads and signed zeros included).
inline bool bit_identical(std::span<const double> a, std::span<const double> b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size_bytes()) == 0;
}

// A reproducible scatter in [−1, 1] that does not depend on a library's
// random generator.
inline double scatter(std::size_t i) { return std::sin(1.7 * static_cast<double>(i) + 0.3); }

}  // namespace nivaltus::fit::test
