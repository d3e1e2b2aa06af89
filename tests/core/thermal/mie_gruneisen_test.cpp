#include "core/thermal/mie_gruneisen.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
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

const auto debye_checks = std::vector<Check>{
    {0, 0.0, "Tr", phrase::positive_finite}, {1, -1.0, "theta0", phrase::positive_finite},
    {2, nan, "gamma0", phrase::finite},      {3, inf, "q", phrase::finite},
    {4, 0.0, "n", phrase::positive_finite},  {5, -45.0, "Cvmax", phrase::positive_finite},
};

TEST(MieGruneisenBuild, ChecksRunInOrder) {
  expect_check_order({300, 760, 1.5, 1.5, 2, 45}, debye_checks, [](const std::vector<double>& p) {
    return build_mie_gruneisen_debye(bm3_reference(), p[0], p[1], p[2], p[3], p[4], p[5]);
  });
  const std::vector<Check> einstein_checks(debye_checks.begin(), debye_checks.end() - 1);
  expect_check_order({300, 760, 1.5, 1.5, 2}, einstein_checks, [](const std::vector<double>& p) {
    return build_mie_gruneisen_einstein(bm3_reference(), p[0], p[1], p[2], p[3], p[4]);
  });
}

TEST(MieGruneisenBuild, HeatCapacityLimitAndChoices) {
  const double three_n_r = (3.0 * 2.0) * 8.31446261815324;
  const auto debye = *build_mie_gruneisen_debye(bm3_reference(), 300, 760, -1.5, -0.5, 2.0);
  EXPECT_EQ(debye.Cvmax, three_n_r);
  EXPECT_EQ(debye.debye_temperature_law, DebyeTemperatureLaw::integrated_gruneisen);
  EXPECT_EQ(debye.thermal_pressure_reference, ThermalPressureReference::reference_temperature);
  const auto chosen = *build_mie_gruneisen_debye(bm3_reference(), 300, 760, 1.5, 1.5, 2.0, 40.0,
                                                 DebyeTemperatureLaw::variable_exponent,
                                                 ThermalPressureReference::absolute_zero);
  EXPECT_EQ(chosen.Cvmax, 40.0);
  EXPECT_EQ(chosen.debye_temperature_law, DebyeTemperatureLaw::variable_exponent);
  EXPECT_EQ(chosen.thermal_pressure_reference, ThermalPressureReference::absolute_zero);
  EXPECT_EQ(build_mie_gruneisen_einstein(bm3_reference(), 300, 760, 1.5, 1.5, 2.0)->Cvmax, three_n_r);

  EXPECT_EQ(debye_temperature_law_from_name("variable_exponent"), DebyeTemperatureLaw::variable_exponent);
  EXPECT_EQ(thermal_pressure_reference_from_name("reference_isentrope"),
            ThermalPressureReference::reference_isentrope);
  EXPECT_FALSE(debye_temperature_law_from_name("Integrated_gruneisen"));
  EXPECT_FALSE(thermal_pressure_reference_from_name("absolute_zero "));
}

MieGruneisenDebye debye_model(
    ThermalPressureReference reference = ThermalPressureReference::reference_temperature,
    DebyeTemperatureLaw law = DebyeTemperatureLaw::integrated_gruneisen,
    std::optional<double> cvmax = std::nullopt) {
  return *build_mie_gruneisen_debye(bm3_reference(), 300.0, 760.0, 1.5, 1.5, 2.0, cvmax, law, reference);
}

// P_th at V = 10.5, T = 2000 over BM3 V0 = 11.24, with mpmath at 40 digits:
// x = V/V0, gamma = 1.5 x^1.5, theta = 760 exp(-1.5 (x^1.5 - 1)/1.5)
// (variable law: 760 x^-gamma), E = T Cvmax D3(theta/T) or 3nR theta/(e^(theta/T) - 1),
// P_th = gamma (E(T) - E(T0))/V/10000.
TEST(MieGruneisen, ThermalPressureMatchesIndependentValues) {
  using R = ThermalPressureReference;
  struct Row {
    EosResult<double> value;
    double expected;
  };
  const Row rows[] = {
      {debye_model().thermal_pressure(10.5, 2000), 1.0360299046694077523},
      {debye_model(R::reference_temperature, DebyeTemperatureLaw::variable_exponent)
           .thermal_pressure(10.5, 2000),
       1.0365399877567735082},
      {debye_model(R::reference_isentrope).thermal_pressure(10.5, 2000), 1.0218622647819333846},
      {debye_model(R::absolute_zero).thermal_pressure(10.5, 2000), 1.0960924292032141647},
      {debye_model(R::reference_temperature, DebyeTemperatureLaw::integrated_gruneisen, 40.0)
           .thermal_pressure(10.5, 2000),
       0.83070504352853748975},
      {build_mie_gruneisen_einstein(bm3_reference(), 300, 760, 1.5, 1.5, 2.0)->thermal_pressure(10.5, 2000),
       1.0010178765233488689},
  };
  for (const auto& row : rows) EXPECT_TRUE(relatively_near(*row.value, row.expected, 1e-10));

  const auto einstein = *build_mie_gruneisen_einstein(bm3_reference(), 300, 760, 1.5, 1.5, 2.0);
  EXPECT_TRUE(relatively_near(*debye_model().thermal_entropy(10.5, 2000), 110.15882020480251627, 1e-10));
  EXPECT_TRUE(relatively_near(*debye_model().thermal_energy(10.5, 2000), 84978.827836486778045, 1e-10));
  EXPECT_TRUE(relatively_near(*einstein.thermal_entropy(10.5, 2000), 93.674784515523222676, 1e-13));
  EXPECT_TRUE(relatively_near(*einstein.thermal_energy(10.5, 2000), 80337.032403423783533, 1e-13));
}

TEST(MieGruneisen, ReferenceVolumeAndConstantGamma) {
  const auto model = debye_model();
  EXPECT_EQ(*model.characteristic_temperature(11.24), 760.0);
  EXPECT_EQ(*model.gruneisen_parameter(11.24, 300.0), 1.5);
  // q = 0: gamma = gamma0 everywhere, theta = theta0 x^(-gamma0).
  const auto flat = *build_mie_gruneisen_debye(bm3_reference(), 300, 760, 1.5, 0.0, 2.0);
  EXPECT_EQ(*flat.gruneisen_parameter(9.0, 300.0), 1.5);
  EXPECT_TRUE(
      relatively_near(*flat.characteristic_temperature(9.0), 760.0 * std::pow(9.0 / 11.24, -1.5), 1e-14));
  // gamma does not depend on T, which is not even checked.
  EXPECT_EQ(*model.gruneisen_parameter(10.0, -5.0), *model.gruneisen_parameter(10.0, 2000.0));
}

TEST(MieGruneisen, ZeroAtReferenceTemperature) {
  const auto einstein = *build_mie_gruneisen_einstein(bm3_reference(), 300, 560, 1.4, 1.2, 2.0);
  for (double v : {8.0, 10.5, 11.24, 12.5}) {
    EXPECT_EQ(*debye_model().thermal_pressure(v, 300.0), 0.0) << v;
    EXPECT_EQ(*einstein.thermal_pressure(v, 300.0), 0.0) << v;
    EXPECT_EQ(*debye_model().pressure(v, 300.0), *bm3_reference().pressure(v)) << v;
    // Whatever the reference, the increment is taken over Tr.
    EXPECT_EQ(*debye_model(ThermalPressureReference::absolute_zero).thermal_pressure_increment(v, 300.0),
              0.0);
    EXPECT_EQ(
        *debye_model(ThermalPressureReference::reference_isentrope).thermal_pressure_increment(v, 300.0),
        0.0);
  }
}

TEST(MieGruneisen, IncrementAndVibrationalPressureByReference) {
  const auto zero = debye_model(ThermalPressureReference::absolute_zero);
  const auto isentrope = debye_model(ThermalPressureReference::reference_isentrope);
  const auto tr = debye_model();
  for (double v : {10.0, 11.24, 12.0}) {
    EXPECT_EQ(*zero.thermal_pressure(v, 1200.0), *zero.vibrational_pressure(v, 1200.0));
    EXPECT_EQ(*zero.thermal_pressure_increment(v, 1200.0),
              *zero.thermal_pressure(v, 1200.0) - *zero.thermal_pressure(v, 300.0));
    EXPECT_EQ(*isentrope.thermal_pressure_increment(v, 1200.0),
              *isentrope.thermal_pressure(v, 1200.0) - *isentrope.thermal_pressure(v, 300.0));
    // The vibrational pressure never subtracts a reference energy.
    EXPECT_EQ(*tr.vibrational_pressure(v, 1200.0), *zero.vibrational_pressure(v, 1200.0));
    // The diamond-anvil-cell share scales the increment.
    EXPECT_EQ(*zero.dac_thermal_pressure(v, 1200.0, 0.5), 0.5 * *zero.thermal_pressure_increment(v, 1200.0));
  }
  // At V0 the isentrope temperature is Tr, so both references agree there.
  EXPECT_TRUE(relatively_near(*isentrope.thermal_pressure(11.24, 1200.0), *tr.thermal_pressure(11.24, 1200.0),
                              1e-12));
}

TEST(MieGruneisen, CheckOrderOfOperations) {
  const auto model = debye_model();
  // Most operations test V first; the heat capacity tests T first.
  EXPECT_TRUE(fails_with(model.thermal_pressure(0.0, -1.0), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.thermal_pressure(10.0, nan), bad_state("temperature")));
  EXPECT_TRUE(fails_with(model.thermal_energy(-1.0, 0.0), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.vibrational_pressure(inf, 0.0), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.molar_heat_capacity_v(-1.0, 0.0), bad_state("temperature")));
  EXPECT_TRUE(fails_with(model.molar_heat_capacity_v(-1.0, 300.0), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.characteristic_temperature(0.0), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.gruneisen_parameter(nan, 300.0), bad_state("volume")));
  // Defaults built on them: Cp reports the heat capacity's error first.
  EXPECT_TRUE(fails_with(model.molar_heat_capacity_p(-1.0, 0.0), bad_state("temperature")));
  EXPECT_TRUE(fails_with(model.adiabatic_bulk_modulus(-1.0, 0.0), bad_state("volume")));
}

TEST(MieGruneisen, HighTemperatureLimits) {
  const double three_n_r = 6.0 * 8.31446261815324;
  const auto model = debye_model();
  EXPECT_TRUE(relatively_near(*model.molar_heat_capacity_v(11.0, 1e6), three_n_r, 1e-6));
  EXPECT_TRUE(relatively_near(*model.thermal_energy(11.0, 1e6) / 1e6, three_n_r, 1e-3));
  const auto given = debye_model(ThermalPressureReference::reference_temperature,
                                 DebyeTemperatureLaw::integrated_gruneisen, 40.0);
  EXPECT_TRUE(relatively_near(*given.molar_heat_capacity_v(11.0, 1e6), 40.0, 1e-6));
  const auto einstein = *build_mie_gruneisen_einstein(bm3_reference(), 300, 760, 1.5, 1.5, 2.0);
  EXPECT_TRUE(relatively_near(*einstein.molar_heat_capacity_v(11.0, 1e6), three_n_r, 1e-6));
}

}  // namespace
}  // namespace nivaltus::thermal
