// The validating constructors of the thermal models: the order of the checks,
// one row per rule, and the values accepted at the edges. That each keyword
// reaches its own check is the Python constructor tests' part.

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

TEST(ThermalConstructors, MieGruneisenFamilyAndHollandPowell) {
  const auto build = [](auto... p) {
    return AsymptoticPowerLawMieGruneisenDebye::make(bm3_reference(), p...);
  };
  // a comes before Tr; gamma0 and b may be zero or negative.
  const std::vector<Check> checks = {{3, -1e-300, "a", unit_interval},
                                     {3, 1.5, "a", unit_interval},
                                     {0, 0.0, "Tr", positive},
                                     {2, -inf, "gamma0", finite}};
  expect_check_order({300, 760, -1.5, 0.0, -2.0, 2}, checks, build);
  EXPECT_TRUE(build(300.0, 760.0, 1.5, 1.0, 2.0, 2.0).has_value());
  // Shared by the Einstein form and the Debye-quadratic law.
  const std::vector<Check> debye = {{3, inf, "q", finite}, {5, -45.0, "Cvmax", positive}};
  expect_check_order({300, 760, 1.5, 1.5, 2, 45}, debye,
                     [](auto... p) { return build_mie_gruneisen_debye(bm3_reference(), p...); });
  const auto holland_powell = [](auto... p) {
    return HollandPowellThermalPressure<RtModel>::make(bm3_reference(), p...);
  };
  expect_check_order({300, 500, 3e-5, 2}, {{1, -1.0, "theta", positive}, {2, inf, "alpha0", finite}},
                     holland_powell);
  // e^(-theta/Tr) rounds to 1: Cv(Tr) is 0/0.
  EXPECT_TRUE(fails_with(holland_powell(300.0, 1e-300, 3e-5, 2.0), non_finite()));
}

TEST(ThermalConstructors, Dewaele2006) {
  const auto build = [](auto... p) { return Dewaele2006::make(bm3_reference(), p...); };
  // gamma0 and the bounds of gamma_inf come first; gamma_inf = 3 exceeds the
  // valid gamma0 but not a NaN one.
  const std::vector<Check> checks = {{2, nan, "gamma0", positive},
                                     {3, -0.1, "gamma_inf", non_negative},
                                     {3, 3.0, "gamma_inf", "must not exceed gamma0"},
                                     {0, 0.0, "Tr", positive},
                                     {7, -1e-5, "electronic_e", non_negative}};
  expect_check_order({300, 800, 1.5, 0.5, 2, 2e-5, 2, 3e-5, 1.5, 2}, checks, build);
  for (double gamma_inf : {-0.0, 1.5}) {
    EXPECT_TRUE(build(300.0, 800.0, 1.5, gamma_inf, 2.0, 0.0, 2.0, 0.0, 1.5, 2.0).has_value()) << gamma_inf;
  }
}

TEST(ThermalConstructors, DorogokupetsOganov2007) {
  const auto build = [](auto... p) { return DorogokupetsOganov2007::make(bm3_reference(), p...); };
  // 3n = 6 and the other multiplicities sum to 4.5: m_E2 may be off by 0.005,
  // so 1.4951 is accepted and 1.5051 is not.
  const std::string_view sum = "must sum to three times the atom count";
  const std::vector<Check> checks = {
      {0, 0.0, "Tr", positive}, {20, 0.0, "n", positive}, {10, 1.5051, "oscillator multiplicities", sum}};
  expect_check_order(
      {298.15, 700, 1.5, 1, 400, 2.5, 2, 500, 1.5, 800, 1.4951, 1.5, 0.8, 2.5, 12, 3, 20, 1.5, 30000, 2, 2},
      checks, build);
}

TEST(ThermalConstructors, MultiOscillatorGruneisen) {
  // n first here, checked last; -0.0 is a valid multiplicity.
  const MultiOscillatorParameters p = thermal_test::multi_oscillator_parameters();
  const std::vector<Check> checks = {
      {1, 0.0, "Tr", positive}, {5, -1e-300, "mE2", non_negative}, {0, 0.0, "n", positive}};
  expect_check_order({2.0, p.Tr, p.QE1o, -0.0, p.QE2o, p.mE2, p.delta, p.t, p.a_0, p.m, p.g, p.e_0, p.beta,
                      p.QBo, p.d, -0.0, p.QB1o, p.d1, p.mb1},
                     checks, [](double n, auto... v) {
                       return MultiOscillatorGruneisen::new_with_atom_count(
                           bm3_reference(), MultiOscillatorParameters{v...}, n);
                     });
}

}  // namespace
}  // namespace nivaltus::thermal
