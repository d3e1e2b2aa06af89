#pragma once
// Shared pieces of the core tests.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <expected>
#include <limits>
#include <string_view>
#include <tuple>
#include <variant>
#include <vector>

#include "core/error.hpp"
#include "core/rt_model.hpp"

namespace nivaltus::test {

inline constexpr double inf = std::numeric_limits<double>::infinity();
inline constexpr double nan = std::numeric_limits<double>::quiet_NaN();
inline constexpr double tiny = std::numeric_limits<double>::denorm_min();

// A result that failed with exactly the expected error (EosError or FitError).
template <class T, class Error>
::testing::AssertionResult fails_with(const std::expected<T, Error>& result, const Error& expected) {
  if (result) return ::testing::AssertionFailure() << "succeeded, expected " << expected;
  if (result.error() == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "failed with " << result.error() << ", expected " << expected;
}

inline EosError bad_parameter(std::string_view field, std::string_view message = phrase::positive_finite) {
  return EosError::invalid_parameter(field, message);
}
inline EosError bad_state(std::string_view field, std::string_view message = phrase::positive_finite) {
  return EosError::invalid_state(field, message);
}
inline EosError non_finite() { return EosError::non_finite_result(); }

// One parameter check: argument index, a value that fails it, and the error.
struct Check {
  std::size_t argument;
  double bad_value;
  std::string_view field;
  std::string_view message = phrase::positive_finite;
};

// For each row k, every row from k on gets its bad value (the earliest row
// wins for an argument named twice) and build(arguments...) must report row
// k. The valid arguments must succeed.
template <std::size_t N, class Build>
void expect_check_order(const double (&valid)[N], const std::vector<Check>& checks, Build&& build) {
  for (std::size_t k = 0; k < checks.size(); ++k) {
    std::array<double, N> arguments = std::to_array(valid);
    for (std::size_t j = checks.size(); j-- > k;) arguments[checks[j].argument] = checks[j].bad_value;
    EXPECT_TRUE(fails_with(std::apply(build, arguments), bad_parameter(checks[k].field, checks[k].message)))
        << "check " << k << " (" << checks[k].field << ")";
  }
  EXPECT_TRUE(std::apply(build, std::to_array(valid)).has_value());
}

// The value of a result that must succeed; NaN and a test failure if not.
inline double value_of(const EosResult<double>& result) {
  if (result) return *result;
  ADD_FAILURE() << "unexpected " << result.error();
  return nan;
}

// Five-point central difference of a fallible function, step relative to x.
template <class F>
double derivative(F&& f, double x, double relative_step = 1e-3) {
  const double h = relative_step * x;
  return (-value_of(f(x + 2.0 * h)) + 8.0 * value_of(f(x + h)) - 8.0 * value_of(f(x - h)) +
          value_of(f(x - 2.0 * h))) /
         (12.0 * h);
}

// |actual - expected| <= tolerance |expected|, for a value or a result.
inline ::testing::AssertionResult relatively_near(const EosResult<double>& actual, double expected,
                                                  double tolerance) {
  if (!actual) return ::testing::AssertionFailure() << "failed with " << actual.error();
  const double difference = std::abs(*actual - expected);
  if (difference <= tolerance * std::abs(expected)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << *actual << " differs from " << expected << " by relative "
                                       << difference / std::abs(expected) << " > " << tolerance;
}

// Wraps a function object, recording every argument it is called with.
template <class G>
auto recorded(std::vector<double>& points, G g) {
  return [&points, g](double x) -> EosResult<double> {
    points.push_back(x);
    return g(x);
  };
}

// Any isothermal kind by its name ("BM3", ...), through its validating
// constructor, with the parameters in the order of its parameter table.
template <std::size_t I = 0>
EosResult<RtModel> build_isothermal(std::string_view name, const std::vector<double>& parameters) {
  if constexpr (I == RtModel::kind_count) {
    return std::unexpected(EosError::invalid_parameter("isothermal kind", "is unknown"));
  } else {
    using Model = std::variant_alternative_t<I, RtModel::Variant>;
    if (RtModel::kind_name(static_cast<RtModel::Kind>(I)) != name)
      return build_isothermal<I + 1>(name, parameters);
    std::array<double, Model::parameter_table().size()> values{};
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = parameters.at(i);
    const EosResult<Model> model = std::apply(&Model::make, values);
    if (!model) return std::unexpected(model.error());
    return RtModel(*model);
  }
}

}  // namespace nivaltus::test
