#include "core/thermal/dewaele_2006.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "tests/core/thermal/thermal_model_fixtures.hpp"
#include "tests/core/thermal/thermal_test_support.hpp"

namespace nivaltus::thermal {
namespace {

using thermal_test::bad_state;
using thermal_test::fails_with;
using thermal_test::inf;
using thermal_test::nan;
using thermal_test::relatively_near;
using thermal_test::value_of;

// Tr, theta0, gamma0, gamma_inf, beta, anharmonic_a, anharmonic_m,
// electronic_e, electronic_g, n.
const std::vector<double> valid = {300.0, 800.0, 1.5, 0.5, 2.0, 2e-5, 2.0, 3e-5, 1.5, 2.0};

EosResult<Dewaele2006> build(const std::vector<double>& p) {
  return Dewaele2006::make(thermal_test::bm3_reference(), p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7],
                           p[8], p[9]);
}

TEST(Dewaele2006Make, ChecksInOrder) {
  // gamma_inf = 3 exceeds the valid gamma0 = 1.5 but not a NaN one.
  thermal_test::expect_check_order(valid,
                                   {
                                       {2, nan, "gamma0", "must be positive and finite"},
                                       {3, inf, "gamma_inf", "must be finite"},
                                       {3, -0.1, "gamma_inf", "must not be negative"},
                                       {3, 3.0, "gamma_inf", "must not exceed gamma0"},
                                       {0, 0.0, "Tr", "must be positive and finite"},
                                       {1, -800.0, "theta0", "must be positive and finite"},
                                       {4, 0.0, "beta", "must be positive and finite"},
                                       {5, nan, "anharmonic_a", "must be finite"},
                                       {5, -1e-5, "anharmonic_a", "must not be negative"},
                                       {6, 0.0, "anharmonic_m", "must be positive and finite"},
                                       {7, -inf, "electronic_e", "must be finite"},
                                       {7, -1e-5, "electronic_e", "must not be negative"},
                                       {8, inf, "electronic_g", "must be positive and finite"},
                                       {9, 0.0, "n", "must be positive and finite"},
                                   },
                                   build);
}

TEST(Dewaele2006Make, AcceptsTheBoundsOfGammaInfAndZeroCoefficients) {
  for (double gamma_inf : {0.0, -0.0, 1.5}) {
    std::vector<double> p = valid;
    p[3] = gamma_inf;
    EXPECT_TRUE(build(p).has_value()) << gamma_inf;
  }
  std::vector<double> p = valid;
  p[5] = 0.0;
  p[7] = 0.0;
  const Dewaele2006 model = *build(p);
  EXPECT_EQ(value_of(model.thermal_pressure(10.5, 1500.0)),
            value_of(model.vibrational_pressure_increment(10.5, 1500.0)));
}

// Reference values: mpmath at 30 digits, D3 by mpmath.quad, from the closed
// forms of the model (vibrational, anharmonic, electronic, total).
TEST(Dewaele2006, ThermalPressureAgainstIndependentQuadrature) {
  struct Case {
    double v, t, vibrational, anharmonic, electronic, total;
  };
  const Case cases[] = {
      {10.5, 1500.0, 0.72238881551469374, 0.017911248481501832, 0.020848119484287055, 0.76114818348048262},
      {11.8, 700.0, 0.2391439353498285, 0.0037275614123760426, 0.0040927901885818617, 0.2469642869507864},
      {10.0, 200.0, -0.034358302760801078, -0.00039486879368390281, -0.00047096484549896927,
       -0.03522413639998395},
  };
  const Dewaele2006 model = thermal_test::dewaele_model();
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "V = " << c.v << ", T = " << c.t);
    EXPECT_TRUE(
        relatively_near(value_of(model.vibrational_pressure_increment(c.v, c.t)), c.vibrational, 1e-9));
    EXPECT_TRUE(
        relatively_near(value_of(model.anharmonic_pressure_increment(c.v, c.t)), c.anharmonic, 1e-13));
    EXPECT_TRUE(
        relatively_near(value_of(model.electronic_pressure_increment(c.v, c.t)), c.electronic, 1e-13));
    EXPECT_TRUE(relatively_near(value_of(model.thermal_pressure(c.v, c.t)), c.total, 1e-9));
  }
}

TEST(Dewaele2006, ThermalPressureVanishesAtTr) {
  const Dewaele2006 model = thermal_test::dewaele_model();
  for (double v : {8.0, 10.5, 11.24, 12.5}) {
    EXPECT_EQ(value_of(model.thermal_pressure(v, 300.0)), 0.0) << v;
    EXPECT_EQ(value_of(model.pressure(v, 300.0)), value_of(model.reference.pressure(v))) << v;
  }
}

TEST(Dewaele2006, StateChecks) {
  const Dewaele2006 model = thermal_test::dewaele_model();
  EXPECT_TRUE(fails_with(model.vibrational_pressure_increment(-1.0, nan), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.vibrational_pressure_increment(10.0, 0.0), bad_state("temperature")));
  EXPECT_TRUE(fails_with(model.thermal_pressure(inf, 1000.0), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.anharmonic_pressure_increment(0.0, 0.0), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.electronic_pressure_increment(10.0, nan), bad_state("temperature")));
  // The thermal part fails first; the reference is never reached.
  EXPECT_TRUE(fails_with(model.pressure(-1.0, 1000.0), bad_state("volume")));
}

}  // namespace
}  // namespace nivaltus::thermal
