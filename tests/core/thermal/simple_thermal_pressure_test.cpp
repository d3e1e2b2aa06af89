#include "core/thermal/simple_thermal_pressure.hpp"

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
using thermal_test::non_finite;
using thermal_test::relatively_near;

TEST(SimpleThermalPressureMake, ChecksRunInOrder) {
  expect_check_order(
      {300, 0.005}, {{0, -300.0, "Tr", phrase::positive_finite}, {1, nan, "alpha_KT", phrase::finite}},
      [](const std::vector<double>& p) { return LinearThermalPressure::make(bm3_reference(), p[0], p[1]); });
  expect_check_order({300, 0.005, 0.001},
                     {{0, 0.0, "Tr", phrase::positive_finite},
                      {1, inf, "alpha_KT_ref", phrase::finite},
                      {2, nan, "dK_dT_V", phrase::finite}},
                     [](const std::vector<double>& p) {
                       return LogVolumeThermalPressure::make(bm3_reference(), p[0], p[1], p[2]);
                     });
  std::vector<Check> taylor_checks{{0, inf, "Tr", phrase::positive_finite}, {1, nan, "eta0", phrase::finite}};
  const char* const c_names[] = {"c0", "c1", "c2", "c3", "c4", "c5"};
  for (std::size_t i = 0; i < 6; ++i)
    taylor_checks.push_back({2 + i, i % 2 ? inf : nan, c_names[i], phrase::finite});
  expect_check_order({300, 0.05, 0.1, 1, 0.005, 2, 1e-6, 1e-3}, taylor_checks,
                     [](const std::vector<double>& p) {
                       return SecondOrderTaylorThermalPressure::make(bm3_reference(), p[0], p[1], p[2], p[3],
                                                                     p[4], p[5], p[6], p[7]);
                     });
  // Zero and negative coefficients are accepted.
  EXPECT_TRUE(LinearThermalPressure::make(bm3_reference(), 300, 0.0));
  EXPECT_TRUE(LogVolumeThermalPressure::make(bm3_reference(), 300, -0.1, 0.0));
  EXPECT_TRUE(SecondOrderTaylorThermalPressure::make(bm3_reference(), 300, -0.1, 0, -1, 0, -2, 0, -3));
}

TEST(SimpleThermalPressure, LinearLaw) {
  const auto model = *LinearThermalPressure::make(bm3_reference(), 300.0, 0.005);
  for (double v : {5.0, 11.24, 20.0}) {
    EXPECT_EQ(*model.thermal_pressure(v, 1300.0), 5.0) << v;
    EXPECT_EQ(*model.thermal_pressure(v, 300.0), 0.0) << v;
    EXPECT_EQ(*model.pressure(v, 300.0), *bm3_reference().pressure(v)) << v;
  }
  EXPECT_LT(*model.thermal_pressure(10.0, 100.0), 0.0);
  EXPECT_EQ(*LinearThermalPressure::make(bm3_reference(), 300.0, 0.0)->thermal_pressure(10.0, 5000.0), 0.0);
}

TEST(SimpleThermalPressure, LogVolumeLaw) {
  const auto model = *LogVolumeThermalPressure::make(bm3_reference(), 300.0, 0.005, 0.002);
  EXPECT_EQ(*model.thermal_pressure(11.24, 1300.0), 0.005 * 1000.0);
  // (alpha_KT_ref + dK_dT_V ln(V0/V)) (T - Tr), ln(11.24/10) = 0.11689375147149943
  EXPECT_TRUE(relatively_near(*model.thermal_pressure(10.0, 1300.0),
                              (0.005 + 0.002 * 0.11689375147149943) * 1000.0, 1e-14));
  EXPECT_LT(*model.thermal_pressure(13.0, 1300.0), 5.0);
  for (double v : {5.0, 11.24, 20.0}) {
    EXPECT_EQ(*model.thermal_pressure(v, 300.0), 0.0) << v;
    EXPECT_EQ(*model.pressure(v, 300.0), *bm3_reference().pressure(v)) << v;
  }
}

TEST(SimpleThermalPressure, SecondOrderTaylorLaw) {
  const double eta0 = 0.1;
  const auto only = [&](int i) {
    double c[6] = {0, 0, 0, 0, 0, 0};
    c[i] = 4.0;
    return *SecondOrderTaylorThermalPressure::make(bm3_reference(), 300.0, eta0, c[0], c[1], c[2], c[3], c[4],
                                                   c[5]);
  };
  // V = 8.43 is x = 0.75, s = 0.15; T = 500 is t = 200.
  const double v = 8.43, t = 500.0, s = (1.0 - 8.43 / 11.24) - eta0, dt = 200.0;
  EXPECT_EQ(*only(0).thermal_pressure(v, t), 4.0);
  EXPECT_TRUE(relatively_near(*only(1).thermal_pressure(v, t), 4.0 * s, 1e-15));
  EXPECT_TRUE(relatively_near(*only(2).thermal_pressure(v, t), 4.0 * dt, 1e-15));
  EXPECT_TRUE(relatively_near(*only(3).thermal_pressure(v, t), 2.0 * s * s, 1e-15));
  EXPECT_TRUE(relatively_near(*only(4).thermal_pressure(v, t), 2.0 * dt * dt, 1e-15));
  // The mixed term carries the factor 1/2 too.
  EXPECT_TRUE(relatively_near(*only(5).thermal_pressure(v, t), 2.0 * s * dt, 1e-15));

  const auto model =
      *SecondOrderTaylorThermalPressure::make(bm3_reference(), 300.0, eta0, 0.7, 2.0, 0.004, 3.0, 1e-6, 0.01);
  // s = 0 (V/V0 = 1 - eta0) and T = Tr leave c0 alone.
  EXPECT_EQ(
      *SecondOrderTaylorThermalPressure::make(bm3_reference(), 300.0, 0.0, 0.7, 2.0, 0.004, 3.0, 1e-6, 0.01)
           ->thermal_pressure(11.24, 300.0),
      0.7);
  for (double volume : {8.43, 10.0, 11.24}) {
    const double sv = (1.0 - volume / 11.24) - eta0;
    // At Tr the law keeps c0 + c1 s + c3 s^2/2 while its increment vanishes.
    EXPECT_TRUE(
        relatively_near(*model.thermal_pressure(volume, 300.0), 0.7 + 2.0 * sv + 1.5 * sv * sv, 1e-14));
    EXPECT_EQ(*model.thermal_pressure_increment(volume, 300.0), 0.0);
    EXPECT_EQ(*model.dac_thermal_pressure(volume, 300.0, 0.5), 0.0);
    EXPECT_EQ(*model.dac_thermal_pressure(volume, 900.0, 0.5),
              0.5 * *model.thermal_pressure_increment(volume, 900.0));
  }
}

TEST(SimpleThermalPressure, StateChecksAndOverflow) {
  const auto linear = *LinearThermalPressure::make(bm3_reference(), 300.0, 0.005);
  const auto log_volume = *LogVolumeThermalPressure::make(bm3_reference(), 300.0, 0.005, 0.002);
  const auto taylor = *SecondOrderTaylorThermalPressure::make(bm3_reference(), 300.0, 0, 0, 1, 0, 0, 0, 0);
  for (double v : {0.0, -1.0, nan, inf}) {
    EXPECT_TRUE(fails_with(linear.thermal_pressure(v, -1.0), bad_state("volume"))) << v;
    EXPECT_TRUE(fails_with(log_volume.pressure(v, nan), bad_state("volume"))) << v;
    EXPECT_TRUE(fails_with(taylor.thermal_pressure_increment(v, 0.0), bad_state("volume"))) << v;
  }
  EXPECT_TRUE(fails_with(linear.pressure(10.0, 0.0), bad_state("temperature")));
  EXPECT_TRUE(fails_with(taylor.thermal_pressure(10.0, inf), bad_state("temperature")));
  const auto huge = *LinearThermalPressure::make(bm3_reference(), 300.0, 1e305);
  EXPECT_TRUE(fails_with(huge.thermal_pressure(10.0, 1e5), non_finite()));
  const auto huge_taylor =
      *SecondOrderTaylorThermalPressure::make(bm3_reference(), 300.0, 0, 0, 0, 0, 0, 1e305, 0);
  EXPECT_TRUE(fails_with(huge_taylor.thermal_pressure(10.0, 1e5), non_finite()));
}

}  // namespace
}  // namespace nivaltus::thermal
