#include "core/thermal/debye_quadratic.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/core/thermal/thermal_test_support.hpp"

namespace nivaltus::thermal {
namespace {

using thermal_test::bad_state;
using thermal_test::bm3_reference;
using thermal_test::Check;
using thermal_test::expect_check_order;
using thermal_test::fails_with;
using thermal_test::inf;
using thermal_test::nan;
using thermal_test::relatively_near;

TEST(DebyeQuadraticMake, ChecksRunInOrder) {
  expect_check_order({300, 760, 1.5, 1.5, 2, 1e-6, 1},
                     {
                         {0, -300.0, "Tr", phrase::positive_finite},
                         {1, 0.0, "theta0", phrase::positive_finite},
                         {2, inf, "gamma0", phrase::finite},
                         {3, nan, "q", phrase::finite},
                         {4, 0.0, "n", phrase::positive_finite},
                         {5, inf, "A", phrase::finite},
                         {6, nan, "m", phrase::finite},
                     },
                     [](const std::vector<double>& p) {
                       return DebyeQuadraticThermalPressure::make(bm3_reference(), p[0], p[1], p[2], p[3],
                                                                  p[4], p[5], p[6]);
                     });
  // Zero and negative gamma0, q, A, m are accepted.
  EXPECT_TRUE(DebyeQuadraticThermalPressure::make(bm3_reference(), 300, 760, -1.0, 0.0, 2.0, -1e-6, 0.0));
}

TEST(DebyeQuadratic, EmbeddedDebyeModel) {
  const auto model =
      *DebyeQuadraticThermalPressure::make(bm3_reference(), 300, 760, 1.5, 1.5, 2.0, 1e-6, 1.0);
  EXPECT_EQ(model.debye.Cvmax, (3.0 * 2.0) * 8.31446261815324);
  EXPECT_EQ(model.debye.debye_temperature_law, DebyeTemperatureLaw::integrated_gruneisen);
  EXPECT_EQ(model.debye.thermal_pressure_reference, ThermalPressureReference::reference_temperature);
  EXPECT_EQ(model.reference_temperature(), 300.0);
  // A = 0 is exactly the Mie-Grueneisen-Debye thermal pressure.
  const auto plain = *DebyeQuadraticThermalPressure::make(bm3_reference(), 300, 760, 1.5, 1.5, 2.0, 0.0, 3.0);
  const auto debye = *build_mie_gruneisen_debye(bm3_reference(), 300, 760, 1.5, 1.5, 2.0);
  for (double v : {9.5, 11.24, 12.0})
    EXPECT_EQ(*plain.thermal_pressure(v, 1700.0), *debye.thermal_pressure(v, 1700.0));
}

TEST(DebyeQuadratic, ThermalPressure) {
  const auto model =
      *DebyeQuadraticThermalPressure::make(bm3_reference(), 300, 760, 1.5, 1.5, 2.0, 1e-6, 1.0);
  // mpmath at 40 digits: MGD part (see the Mie-Grueneisen test) + A (V/V0)^m (T^2 - Tr^2).
  EXPECT_TRUE(relatively_near(*model.thermal_pressure(10.5, 2000.0), 4.6886099758437849765, 1e-11));
  for (double v : {8.0, 10.5, 11.24, 12.5}) {
    EXPECT_EQ(*model.thermal_pressure(v, 300.0), 0.0) << v;
    EXPECT_EQ(*model.pressure(v, 300.0), *bm3_reference().pressure(v)) << v;
  }
  // m = 0 or V = V0: the quadratic term is A (T^2 - Tr^2) at every volume;
  // below Tr it changes sign.
  const auto flat = *DebyeQuadraticThermalPressure::make(bm3_reference(), 300, 760, 1.5, 1.5, 2.0, 1e-6, 0.0);
  const auto debye = *build_mie_gruneisen_debye(bm3_reference(), 300, 760, 1.5, 1.5, 2.0);
  for (double t : {100.0, 1000.0}) {
    const double term = 1e-6 * (t * t - 300.0 * 300.0);
    EXPECT_TRUE(
        relatively_near(*flat.thermal_pressure(9.0, t) - *debye.thermal_pressure(9.0, t), term, 1e-12));
    EXPECT_TRUE(
        relatively_near(*model.thermal_pressure(11.24, t) - *debye.thermal_pressure(11.24, t), term, 1e-12));
  }
}

TEST(DebyeQuadratic, BadStateIsReportedByTheDebyeModel) {
  const auto model =
      *DebyeQuadraticThermalPressure::make(bm3_reference(), 300, 760, 1.5, 1.5, 2.0, 1e-6, 1.0);
  EXPECT_TRUE(fails_with(model.thermal_pressure(0.0, 0.0), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.pressure(10.0, -1.0), bad_state("temperature")));
  // The temperature inversion starts from the embedded Tr.
  EXPECT_EQ(*model.temperature(*bm3_reference().pressure(10.0), 10.0), 300.0);
}

}  // namespace
}  // namespace nivaltus::thermal
