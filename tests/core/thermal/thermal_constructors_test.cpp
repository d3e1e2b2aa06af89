// The validating constructors of the thermal models: the order of the checks
// and the rule of each (positive, finite, non-negative, a bound), with the
// values each accepts at the edges of its checks. That each keyword reaches
// its own check is the Python constructor tests' part.

#include <gtest/gtest.h>

#include <vector>

#include "core/thermal/thermal_model.hpp"
#include "tests/core/thermal/thermal_model_fixtures.hpp"

namespace nivaltus::thermal {
namespace {

using namespace test;
using thermal_test::bm3_reference;

constexpr std::string_view positive = phrase::positive_finite;
constexpr std::string_view finite = phrase::finite;
constexpr std::string_view non_negative = "must not be negative";
constexpr std::string_view unit_interval = "must lie between zero and one";

TEST(ThermalConstructors, AsymptoticPowerLawAndMieGruneisen) {
  const auto build = [](auto... p) {
    return AsymptoticPowerLawMieGruneisenDebye::make(bm3_reference(), p...);
  };
  // a comes before Tr; gamma0 and b may be zero or negative.
  const std::vector<Check> checks = {{3, -1e-300, "a", unit_interval}, {3, 1.5, "a", unit_interval},
                                     {0, 0.0, "Tr", positive},         {1, inf, "theta0", positive},
                                     {2, -inf, "gamma0", finite},      {5, -2.0, "n", positive}};
  expect_check_order({300, 760, -1.5, 0.0, -2.0, 2}, checks, build);
  EXPECT_TRUE(build(300.0, 760.0, 1.5, 1.0, 2.0, 2.0).has_value());
  // Shared by the Einstein form and the Debye-quadratic law.
  const std::vector<Check> debye = {{0, 0.0, "Tr", positive},
                                    {1, -1.0, "theta0", positive},
                                    {3, inf, "q", finite},
                                    {4, 0.0, "n", positive},
                                    {5, -45.0, "Cvmax", positive}};
  expect_check_order({300, 760, 1.5, 1.5, 2, 45}, debye,
                     [](auto... p) { return build_mie_gruneisen_debye(bm3_reference(), p...); });
}

TEST(ThermalConstructors, Dewaele2006) {
  const auto build = [](auto... p) { return Dewaele2006::make(bm3_reference(), p...); };
  // gamma0 and the bounds of gamma_inf come first; gamma_inf = 3 exceeds the
  // valid gamma0 but not a NaN one.
  const std::string_view above_gamma0 = "must not exceed gamma0";
  const std::vector<Check> checks = {{2, nan, "gamma0", positive},
                                     {3, -0.1, "gamma_inf", non_negative},
                                     {3, 3.0, "gamma_inf", above_gamma0},
                                     {0, 0.0, "Tr", positive},
                                     {1, -800.0, "theta0", positive},
                                     {4, 0.0, "beta", positive},
                                     {5, -1e-5, "anharmonic_a", non_negative},
                                     {6, 0.0, "anharmonic_m", positive},
                                     {7, -1e-5, "electronic_e", non_negative},
                                     {8, inf, "electronic_g", positive},
                                     {9, 0.0, "n", positive}};
  expect_check_order({300, 800, 1.5, 0.5, 2, 2e-5, 2, 3e-5, 1.5, 2}, checks, build);
  for (double gamma_inf : {-0.0, 1.5}) {
    EXPECT_TRUE(build(300.0, 800.0, 1.5, gamma_inf, 2.0, 0.0, 2.0, 0.0, 1.5, 2.0).has_value()) << gamma_inf;
  }
}

TEST(ThermalConstructors, DorogokupetsOganov2007) {
  const auto build = [](auto... p) { return DorogokupetsOganov2007::make(bm3_reference(), p...); };
  // m_E2 = 2.5 puts the multiplicity sum 1 above 3n.
  const std::string_view sum = "must sum to three times the atom count";
  const std::vector<Check> checks = {{0, 0.0, "Tr", positive},
                                     {1, -1.0, "theta_B1", positive},
                                     {2, -1.0, "d_B1", positive},
                                     {3, 0.0, "m_B1", positive},
                                     {4, inf, "theta_B2", positive},
                                     {5, 0.0, "d_B2", positive},
                                     {6, -2.0, "m_B2", positive},
                                     {7, 0.0, "theta_E1", positive},
                                     {8, -1.0, "m_E1", positive},
                                     {9, -800.0, "theta_E2", positive},
                                     {10, 0.0, "m_E2", positive},
                                     {11, 0.0, "gamma0", positive},
                                     {12, 0.0, "gamma_inf", positive},
                                     {13, -2.5, "beta", positive},
                                     {18, 0.0, "defect_H", positive},
                                     {20, 0.0, "n", positive},
                                     {10, 2.5, "oscillator multiplicities", sum}};
  expect_check_order(
      {298.15, 700, 1.5, 1, 400, 2.5, 2, 500, 1.5, 800, 1.5, 1.5, 0.8, 2.5, 12, 3, 20, 1.5, 30000, 2, 2},
      checks, build);
  // 3n = 6 and the other multiplicities sum to 4.5: m_E2 may be off by 0.005.
  for (const auto& [m_e2, accepted] :
       {std::pair{1.5049, true}, {1.4951, true}, {1.5051, false}, {1.4949, false}}) {
    const auto model = build(298.15, 700.0, 1.5, 1.0, 400.0, 2.5, 2.0, 500.0, 1.5, 800.0, m_e2, 1.5, 0.8, 2.5,
                             12.0, 3.0, 20.0, 1.5, 30000.0, 2.0, 2.0);
    EXPECT_EQ(model.has_value(), accepted) << m_e2;
  }
}

TEST(ThermalConstructors, HollandPowell) {
  const std::vector<Check> checks = {{0, 0.0, "Tr", positive},
                                     {1, -1.0, "theta", positive},
                                     {2, inf, "alpha0", finite},
                                     {3, 0.0, "n", positive}};
  const auto build = [](auto... p) {
    return HollandPowellThermalPressure<RtModel>::make(bm3_reference(), p...);
  };
  expect_check_order({300, 500, 3e-5, 2}, checks, build);
  // e^(-theta/Tr) rounds to 1: Cv(Tr) is 0/0.
  EXPECT_TRUE(fails_with(build(300.0, 1e-300, 3e-5, 2.0), non_finite()));
}

TEST(ThermalConstructors, MultiOscillatorGruneisen) {
  // n first here, checked last; -0.0 is a valid multiplicity.
  const MultiOscillatorParameters p = thermal_test::multi_oscillator_parameters();
  const std::vector<Check> checks = {{1, 0.0, "Tr", positive},
                                     {2, nan, "QE1o", positive},
                                     {3, -1.0, "mE1", non_negative},
                                     {4, -900.0, "QE2o", positive},
                                     {5, -1e-300, "mE2", non_negative},
                                     {13, 0.0, "QBo", positive},
                                     {14, -1.5, "d", positive},
                                     {16, inf, "QB1o", positive},
                                     {17, 0.0, "d1", positive},
                                     {18, -1.0, "mb1", non_negative},
                                     {0, 0.0, "n", positive}};
  expect_check_order({2.0, p.Tr, p.QE1o, -0.0, p.QE2o, p.mE2, p.delta, p.t, p.a_0, p.m, p.g, p.e_0, p.beta,
                      p.QBo, p.d, -0.0, p.QB1o, p.d1, p.mb1},
                     checks, [](double n, auto... v) {
                       return MultiOscillatorGruneisen::new_with_atom_count(
                           bm3_reference(), MultiOscillatorParameters{v...}, n);
                     });
}

}  // namespace
}  // namespace nivaltus::thermal
