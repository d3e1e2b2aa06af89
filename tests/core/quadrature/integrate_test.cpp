#include "core/quadrature/integrate.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "tests/core/test_support.hpp"

namespace nivaltus::quadrature {
namespace {

using namespace test;

// 32 panels of 5 points each; a cubic passes the first test of every panel.
// Bounds are checked, and an empty interval is 0, without any evaluation.
TEST(Integrate, CubicTakes160EvaluationsAndBoundsNone) {
  std::vector<double> points;
  const auto cubic =
      recorded(points, [](double x) -> EosResult<double> { return ((2.0 * x - 1.0) * x + 3.0) * x - 1.0; });
  EXPECT_NEAR(value_of(integrate(cubic, 0.0, 2.0)), 28.0 / 3.0, 1e-14);  // 8 - 8/3 + 6 - 2
  EXPECT_EQ(points.size(), 160u);
  EXPECT_EQ(points.front(), 0.0);
  EXPECT_EQ(*std::max_element(points.begin(), points.end()), 2.0);
  points.clear();
  for (const auto& [a, b] : {std::pair{nan, 1.0}, {0.0, inf}, {-inf, 0.0}}) {
    EXPECT_TRUE(fails_with(integrate(cubic, a, b), bad_state("integration bounds", phrase::finite)));
  }
  EXPECT_EQ(integrate(cubic, 2.5, 2.5), 0.0);
  EXPECT_TRUE(points.empty());
}

// mpmath.quad at 40 digits, or exact; reversed bounds negate exactly.
TEST(Integrate, AgainstHighPrecisionAndReversed) {
  struct Case {
    double (*integrand)(double);
    double a, b, exact;
  };
  const Case cases[] = {
      {[](double x) { return std::sin(x); }, 0.0, std::numbers::pi, 2.0},
      {[](double x) { return std::exp(-x * x); }, -3.0, 2.0, 1.768288739021942913861965613825899616794},
      {[](double x) { return std::sqrt(x); }, 0.0, 1.0, 2.0 / 3.0},  // infinite slope at 0
      {[](double t) { return t == 0.0 ? 0.0 : t * t * t / std::expm1(t); }, 0.0, 5.0,
       4.899892158330581854173030358064502170324},
  };
  for (const Case& c : cases) {
    const auto f = [&c](double x) -> EosResult<double> { return c.integrand(x); };
    EXPECT_TRUE(relatively_near(integrate(f, c.a, c.b), c.exact, 1e-10)) << c.a << " " << c.b;
    EXPECT_EQ(integrate(f, c.b, c.a), -value_of(integrate(f, c.a, c.b)));
  }
}

// An error of the integrand ends the integration at once; a NaN value, an
// overflowing panel estimate or an infinite sum of finite panels is
// NonFiniteResult.
TEST(Integrate, FailuresEndAtOnce) {
  std::vector<double> points;
  const auto refusing = recorded(points, [](double x) -> EosResult<double> {
    if (x > 0.4) return std::unexpected(bad_state("volume"));
    return x;
  });
  EXPECT_TRUE(fails_with(integrate(refusing, 0.0, 1.0), bad_state("volume")));
  EXPECT_EQ(std::count_if(points.begin(), points.end(), [](double x) { return x > 0.4; }), 1);
  const auto nan_above = [](double x) -> EosResult<double> { return x > 0.7 ? nan : 1.0; };
  EXPECT_TRUE(fails_with(integrate(nan_above, 0.0, 1.0), non_finite()));
  const auto constant = [](double c) { return [c](double) -> EosResult<double> { return c; }; };
  EXPECT_TRUE(fails_with(integrate(constant(1e308), 0.0, 10.0), non_finite()));
  EXPECT_TRUE(fails_with(integrate(constant(1e300), -1e300, 1e300), non_finite()));
}

// Noise in [0, 1) drawn from the bits of x never meets the tolerance: without
// a budget every panel would refine to full depth, 32 (2^26 + 1) evaluations.
// The budget ends it after exactly evaluation_budget evaluations.
TEST(Integrate, NoiseExhaustsTheEvaluationBudget) {
  std::vector<double> points;
  const auto noise = recorded(points, [](double x) -> EosResult<double> {
    std::uint64_t z = std::bit_cast<std::uint64_t>(x) + 0x9e3779b97f4a7c15u;  // splitmix64
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return static_cast<double>((z ^ (z >> 31)) >> 11) * 0x1p-53;
  });
  EXPECT_TRUE(fails_with(integrate(noise, 0.0, 1.0), EosError::convergence_failed()));
  EXPECT_EQ(points.size(), evaluation_budget);
}

}  // namespace
}  // namespace nivaltus::quadrature
