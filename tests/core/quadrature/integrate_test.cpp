#include "core/quadrature/integrate.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "tests/core/test_support.hpp"

namespace nivaltus::quadrature {
namespace {

using namespace test;

// 32 panels of 5 points: a cubic passes every panel's first test. Bounds are
// checked and an empty interval is 0 without evaluation. An integrand's error
// ends the integration at once; a NaN or an overflowing sum is NonFiniteResult.
TEST(Integrate, ValuesEvaluationsAndFailures) {
  std::vector<double> points;
  const auto cubic =
      recorded(points, [](double x) -> EosResult<double> { return ((2.0 * x - 1.0) * x + 3.0) * x - 1.0; });
  EXPECT_NEAR(value_of(integrate(cubic, 0.0, 2.0)), 28.0 / 3.0, 1e-14);  // 8 - 8/3 + 6 - 2
  EXPECT_TRUE(fails_with(integrate(cubic, 0.0, inf), bad_state("integration bounds", phrase::finite)));
  EXPECT_EQ(integrate(cubic, 2.5, 2.5), 0.0);
  EXPECT_EQ(points.size(), 160u);
  points.clear();
  const auto refusing = recorded(points, [](double x) -> EosResult<double> {
    return x > 0.4 ? std::unexpected(bad_state("volume")) : EosResult<double>(x);
  });
  EXPECT_TRUE(fails_with(integrate(refusing, 0.0, 1.0), bad_state("volume")));
  EXPECT_EQ(std::count_if(points.begin(), points.end(), [](double x) { return x > 0.4; }), 1);
  const auto nan_above = [](double x) -> EosResult<double> { return x > 0.7 ? nan : 1.0; };
  EXPECT_TRUE(fails_with(integrate(nan_above, 0.0, 1.0), non_finite()));
  const auto huge = [](double) -> EosResult<double> { return 1e307; };  // finite panels, infinite sum
  EXPECT_TRUE(fails_with(integrate(huge, 0.0, 30.0), non_finite()));
  // mpmath.quad at 40 digits, or exact; reversed bounds negate exactly.
  const auto root = [](double x) -> EosResult<double> { return std::sqrt(x); };  // infinite slope at 0
  const auto planck = [](double t) -> EosResult<double> {
    return t == 0.0 ? 0.0 : t * t * t / std::expm1(t);
  };
  EXPECT_TRUE(relatively_near(integrate(root, 0.0, 1.0), 2.0 / 3.0, 1e-10));
  EXPECT_TRUE(relatively_near(integrate(planck, 0.0, 5.0), 4.899892158330581854173030358064502170324, 1e-10));
  EXPECT_EQ(integrate(planck, 5.0, 0.0), -value_of(integrate(planck, 0.0, 5.0)));
}

// Noise from the bits of x never meets the tolerance: the budget ends it exactly.
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
