#include "core/thermal/asymptotic_power_law.hpp"

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

using Model = AsymptoticPowerLawMieGruneisenDebye;

Model model_with(double a, double b) { return *Model::make(bm3_reference(), 300.0, 760.0, 1.5, a, b, 2.0); }

TEST(AsymptoticPowerLawMake, ChecksRunInOrder) {
  // a comes before Tr.
  expect_check_order({300, 760, 1.5, 0.5, 2, 2},
                     {
                         {3, nan, "a", phrase::finite},
                         {3, 1.5, "a", "must lie between zero and one"},
                         {0, 0.0, "Tr", phrase::positive_finite},
                         {1, inf, "theta0", phrase::positive_finite},
                         {2, -inf, "gamma0", phrase::finite},
                         {4, nan, "b", phrase::finite},
                         {5, -2.0, "n", phrase::positive_finite},
                     },
                     [](const std::vector<double>& p) {
                       return Model::make(bm3_reference(), p[0], p[1], p[2], p[3], p[4], p[5]);
                     });
  for (double a : {0.0, 1.0}) EXPECT_TRUE(Model::make(bm3_reference(), 300, 760, 1.5, a, 2, 2)) << a;
  EXPECT_TRUE(fails_with(Model::make(bm3_reference(), 300, 760, 1.5, -1e-300, 2, 2),
                         thermal_test::bad_parameter("a", "must lie between zero and one")));
  EXPECT_TRUE(Model::make(bm3_reference(), 300, 760, -1.0, 0.5, -2.0, 2));
  EXPECT_TRUE(Model::make(bm3_reference(), 300, 760, 0.0, 0.5, 0.0, 2));
}

TEST(AsymptoticPowerLaw, GruneisenAndDebyeTemperatureLaws) {
  const auto model = model_with(0.5, 2.0);
  EXPECT_EQ(*model.characteristic_temperature(11.24), 760.0);
  EXPECT_EQ(*model.gruneisen_parameter(11.24, 1.0), 1.5);
  // a = 0 or b = 0: gamma = gamma0, theta = theta0 x^(-gamma0).
  for (const auto& flat : {model_with(0.0, 2.0), model_with(0.7, 0.0)}) {
    EXPECT_EQ(*flat.gruneisen_parameter(9.0, 300.0), 1.5);
    EXPECT_TRUE(
        relatively_near(*flat.characteristic_temperature(9.0), 760.0 * std::pow(9.0 / 11.24, -1.5), 1e-14));
  }
  // a = 1: gamma = gamma0 x^b, theta = theta0 exp(-gamma0 (x^b - 1)/b).
  const auto full = model_with(1.0, 2.0);
  const double x = 9.0 / 11.24;
  EXPECT_TRUE(relatively_near(*full.gruneisen_parameter(9.0, 300.0), 1.5 * x * x, 1e-15));
  EXPECT_TRUE(relatively_near(*full.characteristic_temperature(9.0),
                              760.0 * std::exp(-1.5 * (x * x - 1.0) / 2.0), 1e-14));
  // gamma does not depend on the temperature argument, which is not checked.
  EXPECT_EQ(*model.gruneisen_parameter(9.0, -1.0), *model.gruneisen_parameter(9.0, 1000.0));
}

TEST(AsymptoticPowerLaw, ThermalPressure) {
  const auto model = model_with(0.5, 2.0);
  // mpmath at 40 digits: gamma0 (1 + a (x^b - 1)) (E(T) - E(Tr))/V/10000,
  // E = 3nRT D3(theta/T), theta = theta0 exp(-gamma0 (a (x^b - 1)/b + (1 - a) ln x)).
  EXPECT_TRUE(relatively_near(*model.thermal_pressure(10.5, 2000.0), 1.0742154130704679463, 1e-10));
  for (double v : {8.0, 10.5, 11.24, 12.5}) {
    EXPECT_EQ(*model.thermal_pressure(v, 300.0), 0.0) << v;
    EXPECT_EQ(*model.pressure(v, 300.0), *bm3_reference().pressure(v)) << v;
  }
}

TEST(AsymptoticPowerLaw, CheckOrderOfOperations) {
  const auto model = model_with(0.5, 2.0);
  // Temperature before volume, except where the volume comes first.
  EXPECT_TRUE(fails_with(model.thermal_pressure(0.0, 0.0), bad_state("temperature")));
  EXPECT_TRUE(fails_with(model.thermal_pressure(0.0, 300.0), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.thermal_energy(-1.0, nan), bad_state("temperature")));
  EXPECT_TRUE(fails_with(model.thermal_entropy(-1.0, nan), bad_state("temperature")));
  EXPECT_TRUE(fails_with(model.thermal_gibbs_free_energy(-1.0, nan), bad_state("temperature")));
  EXPECT_TRUE(fails_with(model.vibrational_pressure(-1.0, nan), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.vibrational_pressure(10.0, nan), bad_state("temperature")));
  EXPECT_TRUE(fails_with(model.characteristic_temperature(inf), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.molar_heat_capacity_v(-1.0, 0.0), bad_state("temperature")));
  EXPECT_TRUE(fails_with(model.molar_heat_capacity_v(-1.0, 300.0), bad_state("volume")));
}

TEST(AsymptoticPowerLaw, HighTemperatureLimits) {
  const double three_n_r = 6.0 * 8.31446261815324;
  const auto model = model_with(0.5, 2.0);
  EXPECT_TRUE(relatively_near(*model.molar_heat_capacity_v(11.0, 1e6), three_n_r, 1e-6));
  EXPECT_TRUE(relatively_near(*model.thermal_energy(11.0, 1e6) / 1e6, three_n_r, 1e-3));
}

}  // namespace
}  // namespace nivaltus::thermal
