// Thermal values against mpmath (30 to 40 digits, from each model's closed
// forms) and hand closed forms.

#include <gtest/gtest.h>

#include <cmath>

#include "core/thermal/thermal_model.hpp"
#include "tests/core/thermal/thermal_model_fixtures.hpp"

namespace nivaltus::thermal {
namespace {

using namespace test;
using thermal_test::bm3_reference;

// x = V/V0, theta = theta0 exp(-gamma0 (a (x^b - 1)/b + (1 - a) ln x)),
// P_th = gamma0 (1 + a (x^b - 1)) (E(T) - E(Tr))/V/10000, E = 3nRT D3(theta/T).
TEST(ThermalValues, AsymptoticPowerLaw) {
  const auto make = [](double a, double b) {
    return *AsymptoticPowerLawMieGruneisenDebye::make(bm3_reference(), 300.0, 760.0, 1.5, a, b, 2.0);
  };
  EXPECT_TRUE(relatively_near(make(0.5, 2.0).thermal_pressure(10.5, 2000.0), 1.0742154130704679463, 1e-10));
  // a = 1: gamma = gamma0 x^b; b = 0: gamma = gamma0 at any T, checked or
  // not, theta = theta0 x^(-gamma0).
  const double x = 9.0 / 11.24;
  EXPECT_TRUE(relatively_near(make(1.0, 2.0).gruneisen_parameter(9.0, 300.0), 1.5 * x * x, 1e-15));
  EXPECT_EQ(make(0.7, 0.0).gruneisen_parameter(9.0, -1.0), 1.5);
  EXPECT_TRUE(
      relatively_near(make(0.7, 0.0).characteristic_temperature(9.0), 760.0 * std::pow(x, -1.5), 1e-14));
}

MieGruneisenDebye debye_model(
    ThermalPressureReference reference = ThermalPressureReference::reference_temperature,
    DebyeTemperatureLaw law = DebyeTemperatureLaw::integrated_gruneisen,
    std::optional<double> cvmax = std::nullopt) {
  return *build_mie_gruneisen_debye(bm3_reference(), 300.0, 760.0, 1.5, 1.5, 2.0, cvmax, law, reference);
}

// gamma = 1.5 x^1.5, theta = 760 exp(-1.5 (x^1.5 - 1)/1.5) (variable law:
// 760 x^-gamma), E = T Cvmax D3(theta/T) or 3nR theta/(e^(theta/T) - 1),
// P_th = gamma (E(T) - E(T0))/V/10000 with T0 = Tr, Tr theta/theta0, or none.
TEST(ThermalValues, MieGruneisen) {
  using R = ThermalPressureReference;
  const auto einstein = *build_mie_gruneisen_einstein(bm3_reference(), 300, 760, 1.5, 1.5, 2.0);
  const auto variable = debye_model(R::reference_temperature, DebyeTemperatureLaw::variable_exponent);
  const auto cvmax_40 =
      debye_model(R::reference_temperature, DebyeTemperatureLaw::integrated_gruneisen, 40.0);
  const std::pair<EosResult<double>, double> rows[] = {
      {debye_model().thermal_pressure(10.5, 2000), 1.0360299046694077523},
      {variable.thermal_pressure(10.5, 2000), 1.0365399877567735082},
      {debye_model(R::reference_isentrope).thermal_pressure(10.5, 2000), 1.0218622647819333846},
      {debye_model(R::absolute_zero).thermal_pressure(10.5, 2000), 1.0960924292032141647},
      {cvmax_40.thermal_pressure(10.5, 2000), 0.83070504352853748975},
      {einstein.thermal_pressure(10.5, 2000), 1.0010178765233488689},
      {debye_model().thermal_entropy(10.5, 2000), 110.15882020480251627},
      {einstein.thermal_energy(10.5, 2000), 80337.032403423783533},
  };
  for (const auto& [value, expected] : rows) EXPECT_TRUE(relatively_near(value, expected, 1e-10));
  // Cv tends to Cvmax, 3nR unless given.
  EXPECT_TRUE(relatively_near(debye_model().molar_heat_capacity_v(11.0, 1e6), 6.0 * 8.31446261815324, 1e-6));
}

// The Debye part plus A (V/V0)^m (T^2 - Tr^2); A = 0 is the Debye model.
TEST(ThermalValues, DebyeQuadratic) {
  const auto make = [](double a, double m) {
    return *DebyeQuadraticThermalPressure::make(bm3_reference(), 300, 760, 1.5, 1.5, 2.0, a, m);
  };
  EXPECT_TRUE(relatively_near(make(1e-6, 1.0).thermal_pressure(10.5, 2000.0), 4.6886099758437849765, 1e-11));
  EXPECT_EQ(make(0.0, 3.0).thermal_pressure(9.0, 1700.0), debye_model().thermal_pressure(9.0, 1700.0));
}

// The three terms from the closed forms of the model at V = 10, T = 200
// (below Tr), adding up to P_th.
TEST(ThermalValues, Dewaele2006) {
  const Dewaele2006 model = thermal_test::dewaele_model();
  const double vibrational = value_of(model.vibrational_pressure_increment(10.0, 200.0));
  const double anharmonic = value_of(model.anharmonic_pressure_increment(10.0, 200.0));
  const double electronic = value_of(model.electronic_pressure_increment(10.0, 200.0));
  EXPECT_TRUE(relatively_near(vibrational, -0.034358302760801078, 1e-9));
  EXPECT_TRUE(relatively_near(anharmonic, -0.00039486879368390281, 1e-13));
  EXPECT_TRUE(relatively_near(electronic, -0.00047096484549896927, 1e-13));
  EXPECT_EQ(model.thermal_pressure(10.0, 200.0), (vibrational + anharmonic) + electronic);
}

// Free energy, energy, entropy, heat capacity and pressures of the model.
TEST(ThermalValues, DorogokupetsOganov2007) {
  const DorogokupetsOganov2007 model = thermal_test::dorogokupets_oganov_model();
  const ThermodynamicTerms terms = *model.thermodynamic_terms(10.5, 1500.0);
  EXPECT_TRUE(relatively_near(terms.helmholtz_energy, -73580.312356456393, 1e-13));
  EXPECT_TRUE(relatively_near(terms.internal_energy, 70959.069837103763, 1e-13));
  EXPECT_TRUE(relatively_near(terms.entropy, 96.359588129040104, 1e-12));
  EXPECT_TRUE(relatively_near(terms.heat_capacity_v, 48.900456477586223, 1e-13));
  EXPECT_TRUE(
      relatively_near(model.absolute_nonreference_pressure(10.5, 1500.0), 0.93228155366936206, 1e-13));
  EXPECT_TRUE(relatively_near(model.thermal_pressure(10.5, 1500.0), 0.70890106920549199, 1e-12));
}

// The Grueneisen formula with the BM3 P, K and K' = (12 + 49 f)/(3 (1 + 7 f)),
// f = ((V0/V)^(2/3) - 1)/2, I = mpmath.quad of gamma(x)/x over [x, 1], and
// the mode energies from their definitions. At V0 the integral vanishes,
// P = 0, K' = 4 and f = t - beta = 0.3, so gamma = delta + 2 - 1/6 - 0.1.
TEST(ThermalValues, MultiOscillatorGruneisen) {
  struct Case {
    double v, gamma, integral, t, thermal;
  };
  const Case cases[] = {
      {10.5, 1.7372511618373878, 0.12145666941451306, 1500.0, 0.91880841924260395},
      {9.0, 1.582885723880023, 0.37646425258289565, 150.0, -0.055995215717448399},
      {11.24, 0.1 + 2.0 - 1.0 / 6.0 - 0.1, 0.0, 300.0, 0.0},
  };
  const MultiOscillatorGruneisen model = thermal_test::multi_oscillator_model();
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "V = " << c.v);
    const VolumeTerms terms = *model.volume_terms(c.v);
    EXPECT_TRUE(relatively_near(terms.gamma, c.gamma, 1e-9));
    EXPECT_TRUE(relatively_near(terms.theta_b, 300.0 * std::exp(c.integral), 1e-9));
    EXPECT_TRUE(relatively_near(terms.theta_e2, 900.0 * std::exp(c.integral), 1e-9));
    EXPECT_NEAR(value_of(model.thermal_pressure(c.v, c.t)), c.thermal, 1e-9 * std::abs(c.thermal));
  }
}

TEST(ThermalValues, SimpleLaws) {
  EXPECT_EQ(LinearThermalPressure::make(bm3_reference(), 300.0, 0.005)->thermal_pressure(20.0, 1300.0), 5.0);
  // (alpha_KT_ref + dK_dT_V ln(V0/V)) (T - Tr), ln(11.24/10) = 0.11689375147149943.
  const auto log_volume = *LogVolumeThermalPressure::make(bm3_reference(), 300.0, 0.005, 0.002);
  EXPECT_TRUE(relatively_near(log_volume.thermal_pressure(10.0, 1300.0),
                              (0.005 + 0.002 * 0.11689375147149943) * 1000.0, 1e-14));
  // c0 + c1 s + c2 t + c3 s^2/2 + c4 t^2/2 + c5 s t/2 at V = 8.43 (s = 0.15
  // with eta0 = 0.1) and T = 300.5 (t = 0.5), each term of its own size.
  const auto taylor =
      *SecondOrderTaylorThermalPressure::make(bm3_reference(), 300.0, 0.1, 1.0, 2.0, 3.0, 5.0, 7.0, 11.0);
  const double s = 0.15, t = 0.5;
  EXPECT_TRUE(relatively_near(taylor.thermal_pressure(8.43, 300.5),
                              1.0 + 2.0 * s + 3.0 * t + 2.5 * s * s + 3.5 * t * t + 5.5 * s * t, 1e-14));
}

// mpmath at 40 digits:
//   Einstein  3 n R theta / (e^(theta/T) - 1)
//   Bose      theta (d - 1)/(2d) + theta / (z (z^d - 1)),  z = 1 + theta/(d T)
//   Sokolova  theta/2 + theta / (e^(theta/T) - 1)
// and the Grueneisen integrand gamma/x, u = c2 - x^(1/3) c3,
// gamma = (2uP - 3K + 9K K' - 6uK) / (6 (3K - 2uP)) + c1.
TEST(OscillatorEnergies, MatchIndependentClosedForms) {
  const std::pair<EosResult<double>, double> rows[] = {
      {einstein_energy(1e-3, 1, 1000), 24943.375382767871386},
      {bose_mode_energy(1000, 100, 0.7), -202.89887940583370891},
      {bose_mode_energy(1e-2, 2000, 3), 1999.9966666814814537},
      {sokolova_einstein_energy(400, 300), 343.18094171510780461},
      {sokolova_einstein_energy(1e-3, 1000), 1000.0000000000833333},
      {sokolova_gruneisen_integrand(0.9, 12.5, 210.0, 4.1, 0.5, 1.2, 0.3), 2.3837125423910504046},
  };
  for (const auto& [value, expected] : rows) EXPECT_TRUE(relatively_near(value, expected, 1e-13));
  // e^(-theta/T) underflows: E = 0 and only the zero-point term is left.
  EXPECT_EQ(einstein_energy(1e6, 2.0, 1.0), 0.0);
  EXPECT_EQ(sokolova_einstein_energy(1000.0, 1.0), 500.0);
  EXPECT_TRUE(fails_with(bose_mode_energy(500.0, nan, 2.0), bad_state("temperature")));
  // 0/0 of a zero theta or a zero exponent d, and 3K = 2uP (u = 1.5, P = K).
  EXPECT_TRUE(fails_with(einstein_energy(0.0, 2.0, 300.0), non_finite()));
  EXPECT_TRUE(fails_with(bose_mode_energy(400.0, 300.0, 0.0), non_finite()));
  EXPECT_TRUE(fails_with(sokolova_gruneisen_integrand(0.8, 100.0, 100.0, 4.0, 0.0, 1.5, 0.0), non_finite()));
}

}  // namespace
}  // namespace nivaltus::thermal
