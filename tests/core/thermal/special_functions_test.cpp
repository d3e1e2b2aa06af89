#include "core/thermal/special_functions.hpp"

#include <gtest/gtest.h>

#include "tests/core/thermal/thermal_test_support.hpp"

namespace nivaltus::thermal {
namespace {

using thermal_test::bad_state;
using thermal_test::fails_with;
using thermal_test::inf;
using thermal_test::nan;
using thermal_test::non_finite;
using thermal_test::relatively_near;

// D3(x) = 3/x^3 int_0^x t^3/(e^t - 1) dt, by mpmath.quad at 40 digits.
// Rows on both sides of the series switch (0.001) and the asymptote switch
// (150); the switch points themselves take the quadrature.
struct DebyeRow {
  double x;
  double d3;
  double tolerance;  // series and asymptote are exact to rounding
};
constexpr DebyeRow debye_table[] = {
    {1e-8, 0.999999996250000005, 1e-15},        {0.0005, 0.9998125124999999628, 1e-15},
    {0.000999, 0.99962542490004940714, 1e-15},  {0.001, 0.99962504999999940476, 1e-12},
    {0.0010001, 0.99962501250999990452, 1e-12}, {0.5, 0.82496296897623372315, 1e-12},
    {1.0, 0.6744155640778146801, 1e-12},        {2.5, 0.35413603481042394211, 1e-12},
    {10.0, 0.019295765690345489563, 1e-11},     {50.0, 0.00015585454565440389896, 1e-10},
    {149.99, 5.77354521185621612e-6, 1e-10},    {150.0, 5.7723905797927370214e-6, 1e-10},
    {150.01, 5.7712362555900922658e-6, 1e-15},  {300.0, 7.2154882247409212768e-7, 1e-15},
    {1000.0, 1.9481818206800487447e-8, 1e-15},
};

TEST(DebyeFunction3, MatchesIndependentIntegralOnEverySideOfTheSwitches) {
  for (const auto& row : debye_table) {
    const EosResult<double> d = debye_function_3(row.x);
    ASSERT_TRUE(d.has_value()) << row.x;
    EXPECT_TRUE(relatively_near(*d, row.d3, row.tolerance)) << "x = " << row.x;
  }
}

TEST(DebyeFunction3, SwitchPointsTakeTheQuadrature) {
  // The series and the asymptote differ from the integral at the switch
  // points by far more than rounding; the quadrature does not.
  const double at_low = *debye_function_3(0.001);
  const double series = (((-3.0 * 0.001) * 0.125 + 1.0) + 1e-6 / 20.0) + 1e-12 / -1680.0;
  EXPECT_NE(at_low, series);
  const double at_high = *debye_function_3(150.0);
  EXPECT_NE(at_high, 97.40909103400242 / (150.0 * 150.0 * 150.0 * 5.0));
}

TEST(DebyeFunction3, RejectsArgumentsThatAreNotPositiveAndFinite) {
  for (double x : {0.0, -0.0, -1.0, inf, -inf, nan}) {
    EXPECT_TRUE(fails_with(debye_function_3(x), bad_state("Debye-function argument"))) << x;
  }
}

TEST(OscillatorEnergies, RejectTemperaturesThatAreNotPositiveAndFinite) {
  for (double t : {0.0, -300.0, inf, nan}) {
    EXPECT_TRUE(fails_with(einstein_energy(500.0, 2.0, t), bad_state("temperature"))) << t;
    EXPECT_TRUE(fails_with(bose_mode_energy(500.0, t, 2.0), bad_state("temperature"))) << t;
    EXPECT_TRUE(fails_with(sokolova_einstein_energy(500.0, t), bad_state("temperature"))) << t;
  }
}

// Reference values from mpmath at 40 digits:
//   Einstein  3 n R theta / (e^(theta/T) - 1)
//   Bose      theta (d - 1)/(2d) + theta / (z (z^d - 1)),  z = 1 + theta/(d T)
//   Sokolova  theta/2 + theta / (e^(theta/T) - 1)
TEST(OscillatorEnergies, MatchIndependentClosedForms) {
  struct Einstein {
    double theta, n, t, energy;
  };
  for (const auto& c :
       {Einstein{500, 2, 300, 5808.2304444341840126}, Einstein{500, 1.5, 5000, 177877.50866060500644},
        Einstein{1e-3, 1, 1000, 24943.375382767871386}, Einstein{800, 3, 50, 0.0067368211828298376478}}) {
    EXPECT_TRUE(relatively_near(*einstein_energy(c.theta, c.n, c.t), c.energy, 1e-14))
        << c.theta << " " << c.t;
  }
  struct Bose {
    double theta, t, d, energy;
  };
  for (const auto& c :
       {Bose{400, 300, 1, 128.57142857142857143}, Bose{400, 300, 2.5, 256.4858810405862542},
        Bose{1000, 100, 0.7, -202.89887940583370891}, Bose{1e-2, 2000, 3, 1999.9966666814814537}}) {
    EXPECT_TRUE(relatively_near(*bose_mode_energy(c.theta, c.t, c.d), c.energy, 1e-13))
        << c.theta << " " << c.d;
  }
  struct Sokolova {
    double theta, t, energy;
  };
  for (const auto& c :
       {Sokolova{400, 300, 343.18094171510780461}, Sokolova{1e-3, 1000, 1000.0000000000833333},
        Sokolova{2000, 50, 1000.0000000000000085}}) {
    EXPECT_TRUE(relatively_near(*sokolova_einstein_energy(c.theta, c.t), c.energy, 1e-14)) << c.theta;
  }
}

TEST(OscillatorEnergies, Limits) {
  // e^(-theta/T) underflows: the energy is 0, not an error.
  EXPECT_EQ(*einstein_energy(1e6, 2.0, 1.0), 0.0);
  // Zero-point term only as T -> 0.
  EXPECT_EQ(*sokolova_einstein_energy(1000.0, 1.0), 500.0);
  // d = 1: no constant term, E = theta / ((1 + theta/T) theta/T).
  const double y = 400.0 / 300.0;
  EXPECT_TRUE(relatively_near(*bose_mode_energy(400.0, 300.0, 1.0), 400.0 / ((1.0 + y) * y), 1e-15));
  // 0/0 of a zero theta, and a zero exponent d.
  EXPECT_TRUE(fails_with(einstein_energy(0.0, 2.0, 300.0), non_finite()));
  EXPECT_TRUE(fails_with(sokolova_einstein_energy(0.0, 300.0), non_finite()));
  EXPECT_TRUE(fails_with(bose_mode_energy(0.0, 300.0, 2.0), non_finite()));
  EXPECT_TRUE(fails_with(bose_mode_energy(400.0, 300.0, 0.0), non_finite()));
}

TEST(SokolovaGruneisenIntegrand, MatchesClosedFormAndRefusesZeroDivisor) {
  // gamma/x with u = c2 - x^(1/3) c3,
  // gamma = (2uP - 3K + 9K K' - 6uK) / (6 (3K - 2uP)) + c1 (mpmath).
  EXPECT_TRUE(relatively_near(*sokolova_gruneisen_integrand(0.9, 12.5, 210.0, 4.1, 0.5, 1.2, 0.3),
                              2.3837125423910504046, 1e-14));
  EXPECT_TRUE(relatively_near(*sokolova_gruneisen_integrand(1.0, 0.0, 160.0, 4.0, 0.0, 0.0, 0.0),
                              1.8333333333333333333, 1e-15));
  // 3K = 2uP with u = 1.5 (c2 = 1.5, c3 = 0): P = K.
  EXPECT_TRUE(fails_with(sokolova_gruneisen_integrand(0.8, 100.0, 100.0, 4.0, 0.0, 1.5, 0.0), non_finite()));
}

}  // namespace
}  // namespace nivaltus::thermal
