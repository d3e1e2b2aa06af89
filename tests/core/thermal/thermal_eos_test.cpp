// The shared default bodies, on small test models whose thermal pressure,
// reference and replaced operations are known exactly.

#include "core/thermal/thermal_eos.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/core/thermal/thermal_test_support.hpp"

namespace nivaltus::thermal {
namespace {

using thermal_test::bad_state;
using thermal_test::fails_with;
using thermal_test::inf;
using thermal_test::nan;
using thermal_test::non_finite;
using thermal_test::relatively_near;

// P_ref = K0 (V0/V - 1) + offset, counting its evaluations.
struct CountingReference {
  double v0 = 10.0;
  double k0 = 100.0;
  double offset = 0.0;
  int* calls = nullptr;

  EosResult<double> pressure(double volume) const {
    if (calls) ++*calls;
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    return k0 * (v0 / volume - 1.0) + offset;
  }
};

// P_th = slope (T - Tr), V checked first, then T.
struct LinearLaw : ThermalEos<LinearLaw> {
  CountingReference reference;
  double Tr;
  double slope;

  EosResult<double> thermal_pressure(double volume, double temperature) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    if (!is_positive_finite(temperature)) return fail_state("temperature", phrase::positive_finite);
    return finite_result(slope * (temperature - Tr));
  }
};

LinearLaw linear_law(double slope = 0.01, CountingReference reference = {}) {
  return *model_result<LinearLaw>(reference, 300.0, slope);
}

// Replaces bulk_modulus, thermal_pressure_increment and reference_temperature,
// and carries a heat capacity that fails above 5000.
struct Replacing : ThermalEos<Replacing>, CaloricEos<Replacing> {
  CountingReference reference;
  double Tr;
  double fixed_bulk_modulus;

  EosResult<double> thermal_pressure(double volume, double temperature) const {
    return linear_law().thermal_pressure(volume, temperature);
  }
  EosResult<double> thermal_pressure_increment(double volume, double temperature) const {
    const EosResult<double> p = thermal_pressure(volume, temperature);
    if (!p) return p;
    return 2.0 * *p;
  }
  EosResult<double> bulk_modulus(double volume, double, double) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    return fixed_bulk_modulus;
  }
  double reference_temperature() const { return 2.0 * Tr; }
  EosResult<double> molar_heat_capacity_v(double, double temperature) const {
    if (temperature > 5000.0) return fail_state("cv", "test failure");
    return 25.0;
  }
  EosResult<double> gruneisen_parameter(double, double) const { return 1.0; }
};

Replacing replacing(double fixed_bulk_modulus = 123.0) {
  return *model_result<Replacing>(CountingReference{}, 300.0, fixed_bulk_modulus);
}

TEST(ThermalEosDefaults, PressureEvaluatesTheThermalPartFirst) {
  int calls = 0;
  const auto model = linear_law(0.01, CountingReference{.calls = &calls});
  EXPECT_TRUE(fails_with(model.pressure(-1.0, 300.0), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.pressure(5.0, nan), bad_state("temperature")));
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(*model.pressure(5.0, 1300.0), 100.0 + 10.0);
  EXPECT_EQ(calls, 1);
  // Finite parts, overflowing sum.
  const auto big = linear_law(1e306, CountingReference{.offset = 1.7e308});
  EXPECT_TRUE(fails_with(big.pressure(10.0, 400.0), non_finite()));
}

TEST(ThermalEosDefaults, InversionChecks) {
  const auto model = linear_law();
  EXPECT_TRUE(fails_with(model.volume(nan, 0.0), bad_state("temperature")));
  EXPECT_TRUE(fails_with(model.volume(nan, 300.0), bad_state("pressure", phrase::finite)));
  EXPECT_TRUE(fails_with(model.temperature(inf, -1.0), bad_state("pressure", phrase::finite)));
  EXPECT_TRUE(fails_with(model.temperature(1.0, 0.0), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.volume_with_dac_confinement(1.0, -1.0, nan), bad_state("temperature")));
  EXPECT_TRUE(
      fails_with(model.volume_with_dac_confinement(1.0, 300.0, nan), bad_state("f_dac", phrase::finite)));
  EXPECT_TRUE(fails_with(model.volume_with_dac_confinement(1.0, 300.0, 1.0),
                         bad_state("f_dac", "must lie in [0, 1)")));
  // P = 100 (10/V - 1) + 0.01 (T - 300): closed-form inverses.
  EXPECT_TRUE(relatively_near(*model.volume(110.0, 1300.0), 5.0, 1e-12));
  EXPECT_TRUE(relatively_near(*model.temperature(110.0, 5.0), 1300.0, 1e-12));
  // The confined sample sees 1 - f of the thermal pressure: 100 (10/V - 1) + 0.5 * 10 = 105.
  EXPECT_TRUE(relatively_near(*model.volume_with_dac_confinement(105.0, 1300.0, 0.5), 5.0, 1e-12));
}

TEST(ThermalEosDefaults, DifferenceStencilChecks) {
  const auto model = linear_law();
  struct Row {
    double v, t, h;
    const char* field;
  };
  for (const Row& row : {Row{0.0, 0.0, 0.0, "volume"}, Row{5.0, -1.0, nan, "temperature"},
                         Row{5.0, 300.0, 0.0, "relative_step"}, Row{5.0, 300.0, inf, "relative_step"}}) {
    EXPECT_TRUE(fails_with(model.bulk_modulus(row.v, row.t, row.h), bad_state(row.field))) << row.field;
    EXPECT_TRUE(fails_with(model.thermal_expansivity(row.v, row.t, row.h), bad_state(row.field)))
        << row.field;
  }
  // A relative volume step of one reaches V = 0, where the model refuses.
  EXPECT_TRUE(fails_with(model.bulk_modulus(5.0, 300.0, 1.0), bad_state("volume")));
  // The temperature step is capped at 0.49 T, so a huge step still works.
  const double alpha = *model.thermal_expansivity(5.0, 300.0, 100.0);
  EXPECT_TRUE(relatively_near(alpha, 0.01 / *model.bulk_modulus(5.0, 300.0, 1e-6), 1e-12));
  // K = -V dP/dV = 100 V0/V.
  EXPECT_TRUE(relatively_near(*model.bulk_modulus(5.0, 300.0, 1e-4), 200.0, 1e-7));
}

TEST(ThermalEosDefaults, DiamondAnvilCellShare) {
  const auto model = linear_law();
  EXPECT_EQ(*model.dac_thermal_pressure(5.0, 1300.0, 0.3), 0.3 * *model.thermal_pressure(5.0, 1300.0));
  EXPECT_EQ(*model.dac_thermal_pressure(5.0, 1300.0, 0.0), 0.0);
  // 0 times a negative increment is -0; -0.0 counts as zero.
  const EosResult<double> negative_zero = model.dac_thermal_pressure(5.0, 100.0, 0.0);
  ASSERT_TRUE(negative_zero);
  EXPECT_TRUE(*negative_zero == 0.0 && std::signbit(*negative_zero));
  EXPECT_EQ(*model.dac_thermal_pressure(5.0, 1300.0, -0.0), 0.0);
  EXPECT_TRUE(
      fails_with(model.dac_thermal_pressure(5.0, 1300.0, 1.0), bad_state("f_dac", "must lie in [0, 1)")));
  EXPECT_TRUE(
      fails_with(model.dac_thermal_pressure(5.0, 1300.0, -0.1), bad_state("f_dac", "must lie in [0, 1)")));
  EXPECT_TRUE(fails_with(model.dac_thermal_pressure(-5.0, 1300.0, nan), bad_state("f_dac", phrase::finite)));
  EXPECT_TRUE(fails_with(model.dac_thermal_pressure(-5.0, 1300.0, 0.5), bad_state("volume")));
}

TEST(ThermalEosDefaults, DefaultsCallTheModelsOwnOperations) {
  const auto model = replacing();
  EXPECT_EQ(*model.isothermal_compressibility(5.0, 1000.0), 1.0 / 123.0);
  EXPECT_TRUE(relatively_near(*model.thermal_expansivity(5.0, 1000.0, 1e-3), 0.01 / 123.0, 1e-9));
  EXPECT_EQ(*model.dac_thermal_pressure(5.0, 1300.0, 0.5), 0.5 * (2.0 * 10.0));
  // The inversion starts from the replaced reference temperature 600: P at
  // (5, 600) is found there at once.
  EXPECT_EQ(*model.temperature(*model.pressure(5.0, 600.0), 5.0), 600.0);
  // Cp = Cv + alpha^2 K V T 10000 with the replaced K.
  const double alpha = *model.thermal_expansivity(5.0, 1000.0, 1e-5);
  EXPECT_EQ(*model.molar_heat_capacity_p(5.0, 1000.0), 25.0 + alpha * alpha * 123.0 * 5.0 * 1000.0 * 10000.0);
  EXPECT_TRUE(relatively_near(*model.adiabatic_bulk_modulus(5.0, 1000.0),
                              123.0 * *model.molar_heat_capacity_p(5.0, 1000.0) / 25.0, 1e-15));
  // A zero bulk modulus has no finite compressibility.
  EXPECT_TRUE(fails_with(replacing(0.0).isothermal_compressibility(5.0, 1000.0), non_finite()));
}

TEST(ThermalEosDefaults, CaloricErrorOrder) {
  const auto model = replacing();
  // Cp asks the heat capacity first; K_S asks the bulk modulus first.
  EXPECT_TRUE(fails_with(model.molar_heat_capacity_p(-1.0, 6000.0), bad_state("cv", "test failure")));
  EXPECT_TRUE(fails_with(model.adiabatic_bulk_modulus(-1.0, 6000.0), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.adiabatic_bulk_modulus(5.0, 6000.0), bad_state("cv", "test failure")));
}

static_assert(ThermalEosModel<LinearLaw> && !CaloricEosModel<LinearLaw>);
static_assert(CaloricEosModel<Replacing>);

}  // namespace
}  // namespace nivaltus::thermal
