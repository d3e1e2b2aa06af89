// Accuracy of the third-order Debye function over [0.001, 150] against
// 40-digit values, and its monotonicity. The values just beyond the series
// and asymptote switches are in the thermal value tests.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "core/thermal/special_functions.hpp"
#include "tests/core/thermal/debye_function_3_reference.hpp"
#include "tests/core/thermal/thermal_test_support.hpp"

namespace nivaltus::thermal {
namespace {

using thermal_test::debye_function_3_reference;

// Every grid point within 2e-15 of the 40-digit value; no step from one grid
// point to the next (across every interval end of the table) goes upwards.
TEST(DebyeFunction3, WithinTwoUnitsInTheFifteenthDigitAndDecreasing) {
  long double worst = 0.0L;
  double worst_x = 0.0, previous = 1.0;
  for (const auto& row : debye_function_3_reference) {
    const EosResult<double> d3 = debye_function_3(row.x);
    ASSERT_TRUE(d3.has_value()) << row.x;
    const long double relative = std::fabs((*d3 - row.d3) / row.d3);
    EXPECT_LE(relative, 2e-15L) << "x = " << row.x;
    EXPECT_LE(*d3, previous) << row.x;
    previous = *d3;
    if (relative > worst) {
      worst = relative;
      worst_x = row.x;
    }
  }
  std::printf("D3 against 40-digit values: worst relative difference %.2Le at x = %.17g\n", worst, worst_x);
}

}  // namespace
}  // namespace nivaltus::thermal
