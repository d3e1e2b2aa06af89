// Accuracy of the third-order Debye function over [0.001, 150], against
// 40-digit values and against D3 integrated by adaptive Simpson quadrature.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>

#include "core/quadrature/integrate.hpp"
#include "core/thermal/special_functions.hpp"
#include "tests/core/thermal/debye_function_3_reference.hpp"
#include "tests/core/thermal/thermal_test_support.hpp"

namespace nivaltus::thermal {
namespace {

using thermal_test::debye_function_3_reference;

// D3 = (3/x^3) int_0^x t^3/expm1(t) dt by the adaptive Simpson quadrature,
// the integrand taken as 0 below machine epsilon (its limit is t^2 -> 0).
double d3_by_quadrature(double x) {
  const EosResult<double> integral = quadrature::integrate(
      [](double t) -> EosResult<double> {
        if (std::abs(t) < machine_epsilon) return 0.0;
        return (t * t * t) / std::expm1(t);
      },
      0.0, x);
  EXPECT_TRUE(integral.has_value()) << x;
  return (3.0 * integral.value_or(0.0)) / (x * x * x);
}

long double relative_difference(long double value, long double reference) {
  return std::fabs((value - reference) / reference);
}

// Every grid point within 2e-15 of the 40-digit value.
TEST(DebyeFunction3, WithinTwoUnitsInTheFifteenthDigitOfMpmath) {
  long double worst = 0.0L;
  double worst_x = 0.0;
  for (const auto& row : debye_function_3_reference) {
    const EosResult<double> d3 = debye_function_3(row.x);
    ASSERT_TRUE(d3.has_value()) << row.x;
    const long double relative = relative_difference(*d3, row.d3);
    EXPECT_LE(relative, 2e-15L) << "x = " << row.x;
    if (relative > worst) {
      worst = relative;
      worst_x = row.x;
    }
  }
  std::printf("D3 against 40-digit values: worst relative difference %.2Le at x = %.17g\n", worst, worst_x);
}

// Within 2e-13 of the quadrature wherever the quadrature itself is; at the
// few points where the quadrature strays further (3.4e-11 at x = 12, 6e-12
// near 15) D3 may differ from it by no more than the quadrature's own error
// beyond that.
TEST(DebyeFunction3, AgreesWithTheQuadratureWithinItsOwnError) {
  int quadrature_outliers = 0;
  for (const auto& row : debye_function_3_reference) {
    const double by_quadrature = d3_by_quadrature(row.x);
    const long double quadrature_error = relative_difference(by_quadrature, row.d3);
    if (quadrature_error > 1e-13L) ++quadrature_outliers;
    EXPECT_LE(relative_difference(*debye_function_3(row.x), by_quadrature), 2e-13L + quadrature_error)
        << "x = " << row.x;
  }
  std::printf("quadrature more than 1e-13 from the 40-digit values at %d of %zu points\n",
              quadrature_outliers, std::size(debye_function_3_reference));
}

// D3 is continuous where its formula changes: the series below 0.001, the
// asymptote above 150. The neighbouring doubles agree to a few rounding
// errors.
TEST(DebyeFunction3, ContinuousAtTheOuterSwitches) {
  for (const double edge : {debye_series_threshold, debye_asymptote_threshold}) {
    const double below = *debye_function_3(std::nextafter(edge, 0.0));
    const double above = *debye_function_3(std::nextafter(edge, std::numeric_limits<double>::infinity()));
    const double at = *debye_function_3(edge);
    EXPECT_NEAR(below / at, 1.0, 1e-15) << edge;
    EXPECT_NEAR(above / at, 1.0, 1e-15) << edge;
  }
}

// D3 decreases strictly from 1 at 0 towards 0: across every interval end of
// the table and at the switch to the tail no step goes upwards.
TEST(DebyeFunction3, DecreasesMonotonically) {
  double previous = 1.0;
  for (const auto& row : debye_function_3_reference) {
    const double d3 = *debye_function_3(row.x);
    EXPECT_LE(d3, previous) << row.x;
    previous = d3;
  }
}

}  // namespace
}  // namespace nivaltus::thermal
