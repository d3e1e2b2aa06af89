#pragma once
// Shared pieces of the fitting tests: error matchers, vector comparisons and
// the errors-in-variables line.

#include <gtest/gtest.h>

#include <cmath>
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
inline const FitError invalid_vector =
    FitError::evaluation_failed("residual evaluation returned an invalid vector");

// Every element within tolerance·max(|expected|, floor) of the expected one;
// with bitwise, every element has the expected bits (NaN payloads and signed
// zeros included).
inline ::testing::AssertionResult all_near(std::span<const double> actual, std::span<const double> expected,
                                           double tolerance, double floor = 0.0, bool bitwise = false) {
  if (actual.size() != expected.size()) {
    return ::testing::AssertionFailure() << "size " << actual.size() << " != " << expected.size();
  }
  for (std::size_t i = 0; i < actual.size(); ++i) {
    const double bound = tolerance * std::max(std::abs(expected[i]), floor);
    if (bitwise ? std::bit_cast<std::uint64_t>(actual[i]) != std::bit_cast<std::uint64_t>(expected[i])
                : !(std::abs(actual[i] - expected[i]) <= bound)) {
      return ::testing::AssertionFailure() << "element " << i << ": " << actual[i] << " vs " << expected[i];
    }
  }
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult bit_identical(std::span<const double> a, std::span<const double> b) {
  return all_near(a, b, 0.0, 0.0, true);
}

// Errors in both variables: parameters a, b, then the true abscissae ξ_i;
// residuals (y_i − a − b·ξ_i)/σ_y for every point, then (x_i − ξ_i)/σ_x.
struct ErrorsInVariablesLine {
  Vector x, y;
  double sigma_x, sigma_y;

  FitResult<Vector> operator()(std::span<const double> p) const {
    const std::size_t n = x.size();
    Vector r(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
      r[i] = (y[i] - p[0] - p[1] * p[2 + i]) / sigma_y;
      r[n + i] = (x[i] - p[2 + i]) / sigma_x;
    }
    return r;
  }
};

// A reproducible scatter in [−1, 1] that does not depend on a library's
// random generator.
inline double scatter(std::size_t i) { return std::sin(1.7 * static_cast<double>(i) + 0.3); }

}  // namespace nivaltus::fit::test
