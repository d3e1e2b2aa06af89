#include "core/thermal/holland_powell.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/isothermal/modified_tait.hpp"
#include "tests/core/thermal/thermal_test_support.hpp"

namespace nivaltus::thermal {
namespace {

using thermal_test::bad_state;
using thermal_test::bm3_reference;
using thermal_test::derivative;
using thermal_test::expect_check_order;
using thermal_test::fails_with;
using thermal_test::inf;
using thermal_test::nan;
using thermal_test::non_finite;
using thermal_test::relatively_near;

using OverRt = HollandPowellThermalPressure<RtModel>;
using OverTait = HollandPowellThermalPressure<isothermal::ModifiedTait>;

isothermal::ModifiedTait tait() { return *isothermal::ModifiedTait::make(11.24, 160.0, 4.0, -0.025); }

TEST(HollandPowellMake, ChecksRunInOrder) {
  const std::vector<thermal_test::Check> checks{
      {0, 0.0, "Tr", phrase::positive_finite},
      {1, -1.0, "theta", phrase::positive_finite},
      {2, nan, "alpha0", phrase::finite},
      {3, 0.0, "n", phrase::positive_finite},
  };
  expect_check_order({300, 500, 3e-5, 2}, checks, [](const std::vector<double>& p) {
    return OverRt::make(bm3_reference(), p[0], p[1], p[2], p[3]);
  });
  expect_check_order({300, 500, 3e-5, 2}, checks, [](const std::vector<double>& p) {
    return OverTait::make(tait(), p[0], p[1], p[2], p[3]);
  });
}

TEST(HollandPowellMake, DerivedQuantitiesMustBeFinite) {
  // e^(-theta/Tr) rounds to 1: Cv(Tr) is 0/0.
  EXPECT_TRUE(fails_with(OverRt::make(bm3_reference(), 300.0, 1e-300, 3e-5, 2.0), non_finite()));
  // e^(-theta/Tr) underflows: Cv(Tr) = 0, the coefficient is infinite (NaN for alpha0 = 0).
  EXPECT_TRUE(fails_with(OverRt::make(bm3_reference(), 1.0, 1e6, 3e-5, 2.0), non_finite()));
  EXPECT_TRUE(fails_with(OverTait::make(tait(), 1.0, 1e6, 0.0, 2.0), non_finite()));
  // Cv(Tr) = 3nR u^2 e^(-u)/(1 - e^(-u))^2, u = 500/300 (mpmath), coefficient K0 alpha0 / Cv(Tr).
  const auto model = *OverRt::make(bm3_reference(), 300.0, 500.0, 3e-5, 2.0);
  EXPECT_TRUE(relatively_near(model.reference_heat_capacity, 39.781748676783014, 1e-14));
  EXPECT_TRUE(relatively_near(model.pressure_coefficient, 160.0 * 3e-5 / 39.781748676783014, 1e-14));
}

TEST(HollandPowell, ThermalPressure) {
  const auto model = *OverRt::make(bm3_reference(), 300.0, 500.0, 3e-5, 2.0);
  // mpmath: (K0 alpha0 / Cv(Tr)) (E(2000) - E(300)), E = 3nR theta/(e^(theta/T) - 1).
  EXPECT_TRUE(relatively_near(*model.thermal_pressure(10.5, 2000.0), 9.8955216221478449937, 1e-13));
  // A function of T alone, zero at Tr, with slope alpha0 K0 there.
  EXPECT_EQ(*model.thermal_pressure(7.0, 2000.0), *model.thermal_pressure(14.0, 2000.0));
  for (double v : {8.0, 10.5, 11.24, 12.5}) {
    EXPECT_EQ(*model.thermal_pressure(v, 300.0), 0.0) << v;
    EXPECT_EQ(*model.pressure(v, 300.0), *bm3_reference().pressure(v)) << v;
  }
  const auto pth = [&](double t) { return model.thermal_pressure(10.0, t); };
  EXPECT_TRUE(relatively_near(derivative(pth, 300.0), 3e-5 * 160.0, 1e-9));
  EXPECT_EQ(*OverRt::make(bm3_reference(), 300.0, 500.0, 0.0, 2.0)->thermal_pressure(10.0, 2000.0), 0.0);
  EXPECT_LT(*OverRt::make(bm3_reference(), 300.0, 500.0, -3e-5, 2.0)->thermal_pressure(10.0, 2000.0), 0.0);
}

TEST(HollandPowell, HeatCapacityIsTheEinsteinEnergyDerivative) {
  const auto model = *OverRt::make(bm3_reference(), 300.0, 500.0, 3e-5, 2.0);
  for (double t : {50.0, 300.0, 1500.0}) {
    const auto energy = [&](double x) { return einstein_energy(500.0, 2.0, x); };
    EXPECT_TRUE(relatively_near(*model.molar_heat_capacity_v(10.0, t), derivative(energy, t), 1e-9)) << t;
    EXPECT_EQ(*model.molar_heat_capacity_v(7.0, t), *model.molar_heat_capacity_v(14.0, t));
  }
  // gamma = 10000 V coefficient, whatever (and unchecked) the temperature.
  EXPECT_EQ(*model.gruneisen_parameter(10.0, -1.0), (10.0 * model.pressure_coefficient) * 10000.0);
  EXPECT_TRUE(fails_with(model.gruneisen_parameter(0.0, 300.0), bad_state("volume")));
}

TEST(HollandPowell, BothReferencesShareTheThermalPart) {
  const auto over_rt = *OverRt::make(bm3_reference(), 300.0, 500.0, 3e-5, 2.0);
  const auto over_tait = *OverTait::make(tait(), 300.0, 500.0, 3e-5, 2.0);
  EXPECT_EQ(over_rt.pressure_coefficient, over_tait.pressure_coefficient);
  for (double t : {100.0, 900.0}) {
    EXPECT_EQ(*over_rt.thermal_pressure(10.0, t), *over_tait.thermal_pressure(10.0, t));
    EXPECT_EQ(*over_rt.molar_heat_capacity_v(10.0, t), *over_tait.molar_heat_capacity_v(10.0, t));
    EXPECT_EQ(*over_tait.pressure(10.0, t) - *over_tait.thermal_pressure(10.0, t), *tait().pressure(10.0));
  }
}

TEST(HollandPowell, ThermalPartIsCheckedBeforeTheReference) {
  // K0'' > 0 puts a = 5/6.6 below one, so the Tait form ends at V = V0 (1 - a).
  const auto bounded = *isothermal::ModifiedTait::make(11.24, 160.0, 4.0, 0.01);
  const auto model = *OverTait::make(bounded, 300.0, 500.0, 3e-5, 2.0);
  const double outside = 11.24 * (1.0 - bounded.a) * 0.5;
  ASSERT_TRUE(
      fails_with(bounded.pressure(outside), bad_state("volume", "is outside the modified Tait EOS domain")));
  EXPECT_TRUE(fails_with(model.pressure(outside, -1.0), bad_state("temperature")));
  EXPECT_TRUE(fails_with(model.pressure(outside, 300.0),
                         bad_state("volume", "is outside the modified Tait EOS domain")));
  EXPECT_TRUE(fails_with(model.thermal_pressure(-1.0, inf), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.molar_heat_capacity_v(-1.0, inf), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.molar_heat_capacity_p(10.0, 0.0), bad_state("temperature")));
}

}  // namespace
}  // namespace nivaltus::thermal
