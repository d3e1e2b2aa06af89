#pragma once
// Shared pieces of the thermal model tests: the reference isotherm, error
// matchers, the constructor check-order table runner, and central
// differences for the consistency checks.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string_view>
#include <vector>

#include "core/error.hpp"
#include "core/rt_model.hpp"

namespace nivaltus::thermal_test {

inline constexpr double inf = std::numeric_limits<double>::infinity();
inline constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// A BM3 isotherm with MgO-like numbers; V = 10.5 is compressed, 11.8 expanded.
inline RtModel bm3_reference() { return *isothermal::BM3::make(11.24, 160.0, 4.0); }

template <class T>
::testing::AssertionResult fails_with(const EosResult<T>& result, EosError expected) {
  if (result) return ::testing::AssertionFailure() << "succeeded, expected " << expected;
  if (result.error() != expected) {
    return ::testing::AssertionFailure() << "failed with " << result.error() << ", expected " << expected;
  }
  return ::testing::AssertionSuccess();
}

inline EosError bad_parameter(std::string_view field, std::string_view message) {
  return EosError::invalid_parameter(field, message);
}
inline EosError bad_state(std::string_view field, std::string_view message = phrase::positive_finite) {
  return EosError::invalid_state(field, message);
}
inline EosError non_finite() { return EosError::non_finite_result(); }

// One row of a constructor's check order: argument index, a value that fails
// the check, and the error it must produce.
struct Check {
  std::size_t argument;
  double bad_value;
  std::string_view field;
  std::string_view message;
};

// For each row k, every row from k on gets its bad value (an argument named
// by several rows keeps the earliest row's value) and the constructor must
// report row k: each check is reached, runs in its place, and hides all
// later ones.
template <class Build>
void expect_check_order(const std::vector<double>& valid, const std::vector<Check>& checks, Build&& build) {
  for (std::size_t k = 0; k < checks.size(); ++k) {
    std::vector<double> arguments = valid;
    for (std::size_t j = checks.size(); j-- > k;) arguments[checks[j].argument] = checks[j].bad_value;
    EXPECT_TRUE(fails_with(build(arguments), bad_parameter(checks[k].field, checks[k].message)))
        << "check " << k << " (" << checks[k].field << ")";
  }
  EXPECT_TRUE(build(valid).has_value());
}

// The value of a result that must succeed; NaN (and a test failure) if not.
inline double value_of(const EosResult<double>& result) {
  if (result) return *result;
  ADD_FAILURE() << "unexpected " << result.error();
  return nan;
}

// Five-point central difference of a fallible function; the step is
// relative to x.
template <class F>
double derivative(F&& f, double x, double relative_step = 1e-3) {
  const double h = relative_step * x;
  return (-value_of(f(x + 2.0 * h)) + 8.0 * value_of(f(x + h)) - 8.0 * value_of(f(x - h)) +
          value_of(f(x - 2.0 * h))) /
         (12.0 * h);
}

inline ::testing::AssertionResult relatively_near(double actual, double expected, double tolerance) {
  if (std::abs(actual - expected) <= tolerance * std::abs(expected)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << actual << " differs from " << expected << " by relative "
         << std::abs(actual - expected) / std::abs(expected) << " > " << tolerance;
}

}  // namespace nivaltus::thermal_test
