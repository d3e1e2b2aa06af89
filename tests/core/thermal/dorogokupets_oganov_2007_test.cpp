#include "core/thermal/dorogokupets_oganov_2007.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "tests/core/thermal/thermal_model_fixtures.hpp"
#include "tests/core/thermal/thermal_test_support.hpp"

namespace nivaltus::thermal {
namespace {

using thermal_test::bad_state;
using thermal_test::derivative;
using thermal_test::fails_with;
using thermal_test::inf;
using thermal_test::nan;
using thermal_test::relatively_near;
using thermal_test::value_of;

// Tr, theta_B1, d_B1, m_B1, theta_B2, d_B2, m_B2, theta_E1, m_E1, theta_E2,
// m_E2, gamma0, gamma_inf, beta, anharmonic_a, anharmonic_m, electronic_e,
// electronic_g, defect_H, defect_S, n.
const std::vector<double> valid = {298.15, 700.0, 1.5, 1.0,  400.0, 2.5,  2.0, 500.0,   1.5, 800.0, 1.5,
                                   1.5,    0.8,   2.5, 12.0, 3.0,   20.0, 1.5, 30000.0, 2.0, 2.0};

EosResult<DorogokupetsOganov2007> build(const std::vector<double>& p) {
  return DorogokupetsOganov2007::make(thermal_test::bm3_reference(), p[0], p[1], p[2], p[3], p[4], p[5], p[6],
                                      p[7], p[8], p[9], p[10], p[11], p[12], p[13], p[14], p[15], p[16],
                                      p[17], p[18], p[19], p[20]);
}

TEST(DorogokupetsOganov2007Make, ChecksInOrder) {
  const char* positive = "must be positive and finite";
  // The multiplicity row (m_E2 = 2.5, sum off by 1) is reached only once
  // every single parameter is valid.
  thermal_test::expect_check_order(
      valid,
      {
          {0, 0.0, "Tr", positive},
          {1, nan, "theta_B1", positive},
          {2, -1.0, "d_B1", positive},
          {3, 0.0, "m_B1", positive},
          {4, inf, "theta_B2", positive},
          {5, 0.0, "d_B2", positive},
          {6, -2.0, "m_B2", positive},
          {7, 0.0, "theta_E1", positive},
          {8, nan, "m_E1", positive},
          {9, -800.0, "theta_E2", positive},
          {10, 0.0, "m_E2", positive},
          {11, 0.0, "gamma0", positive},
          {12, 0.0, "gamma_inf", positive},
          {13, -2.5, "beta", positive},
          {14, nan, "anharmonic_a", "must be finite"},
          {15, inf, "anharmonic_m", "must be finite"},
          {16, -inf, "electronic_e", "must be finite"},
          {17, nan, "electronic_g", "must be finite"},
          {18, 0.0, "defect_H", positive},
          {19, inf, "defect_S", "must be finite"},
          {20, 0.0, "n", positive},
          {10, 2.5, "oscillator multiplicities", "must sum to three times the atom count"},
      },
      build);
}

TEST(DorogokupetsOganov2007Make, MultiplicitySumToleranceAndFreeSigns) {
  struct Case {
    double m_e2;
    bool accepted;
  };
  // 3n = 6 and the other three multiplicities sum to 4.5.
  for (const Case c : {Case{1.5049, true}, Case{1.4951, true}, Case{1.5051, false}, Case{1.4949, false}}) {
    std::vector<double> p = valid;
    p[10] = c.m_e2;
    EXPECT_EQ(build(p).has_value(), c.accepted) << c.m_e2;
  }
  // gamma_inf above gamma0; zero or negative exponents and defect entropy.
  std::vector<double> p = valid;
  p[12] = 2.0;
  p[15] = -1.0;
  p[17] = 0.0;
  p[19] = -3.0;
  p[14] = 0.0;
  EXPECT_TRUE(build(p).has_value());
}

// Reference values: mpmath at 40 digits from the free energy, energy,
// entropy, heat capacity and pressure formulas of the model.
TEST(DorogokupetsOganov2007, TermsAgainstHighPrecisionValues) {
  struct Case {
    double v, t, f, e, s, cv, absolute, thermal;
  };
  const Case cases[] = {
      {10.5, 1500.0, -73580.312356456393, 70959.069837103763, 96.359588129040104, 48.900456477586223,
       0.93228155366936206, 0.70890106920549199},
      {11.8, 700.0, -14941.746217755932, 32822.963619345489, 68.235299767287744, 45.951664850468159,
       0.44017435439057213, 0.22746485279816968},
  };
  const DorogokupetsOganov2007 model = thermal_test::dorogokupets_oganov_model();
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "V = " << c.v << ", T = " << c.t);
    const ThermodynamicTerms terms = *model.thermodynamic_terms(c.v, c.t);
    EXPECT_TRUE(relatively_near(terms.helmholtz_energy, c.f, 1e-13));
    EXPECT_TRUE(relatively_near(terms.internal_energy, c.e, 1e-13));
    EXPECT_TRUE(relatively_near(terms.entropy, c.s, 1e-12));
    EXPECT_TRUE(relatively_near(terms.heat_capacity_v, c.cv, 1e-13));
    EXPECT_TRUE(relatively_near(value_of(model.absolute_nonreference_pressure(c.v, c.t)), c.absolute, 1e-13));
    EXPECT_TRUE(relatively_near(value_of(model.thermal_pressure(c.v, c.t)), c.thermal, 1e-12));
  }
}

// One free energy: P = -dF/dV / 10000, S = -dF/dT, Cv = dE/dT by five-point
// differences, and S = (E - F)/T exactly.
TEST(DorogokupetsOganov2007, TermsAreDerivativesOfOneFreeEnergy) {
  const DorogokupetsOganov2007 model = thermal_test::dorogokupets_oganov_model();
  const auto term = [&model](double v, double t, double ThermodynamicTerms::*field) -> EosResult<double> {
    const EosResult<ThermodynamicTerms> terms = model.thermodynamic_terms(v, t);
    if (!terms) return std::unexpected(terms.error());
    return (*terms).*field;
  };
  for (const auto& [v, t] : {std::pair{10.5, 1500.0}, {11.8, 700.0}, {9.0, 3000.0}, {12.0, 100.0}}) {
    SCOPED_TRACE(::testing::Message() << "V = " << v << ", T = " << t);
    const ThermodynamicTerms terms = *model.thermodynamic_terms(v, t);
    const auto f_of_v = [&](double x) { return term(x, t, &ThermodynamicTerms::helmholtz_energy); };
    const auto f_of_t = [&](double x) { return term(v, x, &ThermodynamicTerms::helmholtz_energy); };
    const auto e_of_t = [&](double x) { return term(v, x, &ThermodynamicTerms::internal_energy); };
    EXPECT_TRUE(relatively_near(value_of(model.absolute_nonreference_pressure(v, t)),
                                -derivative(f_of_v, v) / 10000.0, 1e-8));
    EXPECT_TRUE(relatively_near(terms.entropy, -derivative(f_of_t, t), 1e-8));
    EXPECT_TRUE(relatively_near(terms.heat_capacity_v, derivative(e_of_t, t), 1e-8));
    EXPECT_EQ(terms.entropy, (terms.internal_energy - terms.helmholtz_energy) / t);
    EXPECT_EQ(value_of(model.molar_heat_capacity_v(v, t)), terms.heat_capacity_v);
  }
}

TEST(DorogokupetsOganov2007, ThermalPressureVanishesAtTr) {
  const DorogokupetsOganov2007 model = thermal_test::dorogokupets_oganov_model();
  for (double v : {8.0, 10.5, 11.24, 12.5}) {
    EXPECT_EQ(value_of(model.thermal_pressure(v, 298.15)), 0.0) << v;
    EXPECT_EQ(value_of(model.pressure(v, 298.15)), value_of(model.reference.pressure(v))) << v;
  }
}

// Thermodynamic gamma, Cp - Cv = 10000 alpha^2 K_T V T and K_S = K_T Cp/Cv
// with alpha and K_T from differences of the total pressure.
TEST(DorogokupetsOganov2007, CaloricQuantities) {
  const DorogokupetsOganov2007 model = thermal_test::dorogokupets_oganov_model();
  const double v = 10.5, t = 1500.0;
  const ThermodynamicTerms terms = *model.thermodynamic_terms(v, t);
  const double k_t = -v * derivative([&](double x) { return model.pressure(x, t); }, v);
  const double dp_dt = derivative([&](double x) { return model.pressure(v, x); }, t);
  const double alpha = dp_dt / k_t;
  EXPECT_TRUE(relatively_near(value_of(model.gruneisen_parameter(v, t)),
                              10000.0 * v * alpha * k_t / terms.heat_capacity_v, 1e-6));
  const double cp = value_of(model.molar_heat_capacity_p(v, t));
  EXPECT_TRUE(relatively_near(cp - terms.heat_capacity_v, 10000.0 * alpha * alpha * k_t * v * t, 1e-6));
  EXPECT_TRUE(
      relatively_near(value_of(model.adiabatic_bulk_modulus(v, t)), k_t * cp / terms.heat_capacity_v, 1e-6));
}

TEST(DorogokupetsOganov2007, StateChecks) {
  const DorogokupetsOganov2007 model = thermal_test::dorogokupets_oganov_model();
  EXPECT_TRUE(fails_with(model.thermodynamic_terms(0.0, -1.0), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.thermodynamic_terms(10.0, -1.0), bad_state("temperature")));
  EXPECT_TRUE(fails_with(model.absolute_nonreference_pressure(nan, 1000.0), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.thermal_pressure(10.0, inf), bad_state("temperature")));
  EXPECT_TRUE(fails_with(model.thermal_enthalpy(10.0, 0.0), bad_state("temperature")));
  EXPECT_TRUE(fails_with(model.molar_heat_capacity_p(-1.0, 1000.0), bad_state("volume")));
}

}  // namespace
}  // namespace nivaltus::thermal
