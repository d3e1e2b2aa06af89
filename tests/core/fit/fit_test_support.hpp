#pragma once
// Shared pieces of the fitting tests: error matchers, residual functions of
// problems with known solutions, and a recorder of evaluated points.

#include <gtest/gtest.h>

#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "core/fit/fit_error.hpp"
#include "tests/core/test_support.hpp"

namespace nivaltus::fit::test {

using nivaltus::test::inf;
using nivaltus::test::nan;
using nivaltus::test::relatively_near;

using Vector = std::vector<double>;

template <class T>
::testing::AssertionResult fails_with(const FitResult<T>& result, const FitError& expected) {
  if (result) return ::testing::AssertionFailure() << "succeeded, expected " << expected;
  if (result.error() != expected) {
    return ::testing::AssertionFailure() << "failed with " << result.error() << ", expected " << expected;
  }
  return ::testing::AssertionSuccess();
}

inline FitError input(std::string message) { return FitError::invalid_input(std::move(message)); }
inline FitError evaluation(std::string message) { return FitError::evaluation_failed(std::move(message)); }
inline const FitError invalid_vector = evaluation("residual evaluation returned an invalid vector");

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
inline ::testing::AssertionResult bit_identical(std::span<const double> a, std::span<const double> b) {
  if (a.size() != b.size()) return ::testing::AssertionFailure() << "size " << a.size() << " != " << b.size();
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::bit_cast<std::uint64_t>(a[i]) != std::bit_cast<std::uint64_t>(b[i])) {
      return ::testing::AssertionFailure() << "element " << i << ": " << a[i] << " vs " << b[i];
    }
  }
  return ::testing::AssertionSuccess();
}

// Straight line y = a + b·x with weights: r_i = (a + b·x_i − y_i)/σ_i.
struct WeightedLine {
  Vector x, y, sigma;

  FitResult<Vector> operator()(std::span<const double> p) const {
    Vector r(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) r[i] = (p[0] + p[1] * x[i] - y[i]) / sigma[i];
    return r;
  }
};

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

// A reproducible scatter in [−1, 1] (no random generator: the values must
// not depend on the library).
inline double scatter(std::size_t i) { return std::sin(1.7 * static_cast<double>(i) + 0.3); }

inline ErrorsInVariablesLine scattered_line(std::size_t points, double sigma_x, double sigma_y) {
  ErrorsInVariablesLine line{{}, {}, sigma_x, sigma_y};
  for (std::size_t i = 0; i < points; ++i) {
    const double xi = static_cast<double>(i) * 10.0 / static_cast<double>(points);
    line.x.push_back(xi + sigma_x * scatter(i));
    line.y.push_back(1.5 + 0.8 * xi + sigma_y * scatter(i + 1000));
  }
  return line;
}

}  // namespace nivaltus::fit::test
