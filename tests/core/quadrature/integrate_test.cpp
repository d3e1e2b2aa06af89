#include "core/quadrature/integrate.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace nivaltus::quadrature {
namespace {

using Kind = EosError::Kind;
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// Wraps a function object, recording every abscissa it is called with.
template <class G>
auto recorded(std::vector<double>& points, G g) {
  return [&points, g](double x) -> EosResult<double> {
    points.push_back(x);
    return g(x);
  };
}

TEST(Integrate, NonFiniteBoundsWithoutEvaluating) {
  const double bounds[][2] = {{nan, 1.0}, {0.0, inf}, {-inf, 0.0}, {nan, nan}};
  for (const auto& b : bounds) {
    std::vector<double> points;
    const auto result =
        integrate(recorded(points, [](double x) -> EosResult<double> { return x; }), b[0], b[1]);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), EosError::invalid_state("integration bounds", "must be finite"));
    EXPECT_TRUE(points.empty());
  }
}

TEST(Integrate, EmptyIntervalIsZeroWithoutEvaluating) {
  auto failing = [](double) -> EosResult<double> { return std::unexpected(EosError::convergence_failed()); };
  const auto result = integrate(failing, 2.5, 2.5);
  ASSERT_TRUE(result);
  EXPECT_EQ(*result, 0.0);
}

TEST(Integrate, CubicIsAcceptedAtFirstTestOfEveryPanel) {
  // int_0^2 (2x^3 - x^2 + 3x - 1) dx = 8 - 8/3 + 6 - 2 = 28/3
  std::vector<double> points;
  auto cubic =
      recorded(points, [](double x) -> EosResult<double> { return ((2.0 * x - 1.0) * x + 3.0) * x - 1.0; });
  const auto result = integrate(cubic, 0.0, 2.0);
  ASSERT_TRUE(result);
  EXPECT_NEAR(*result, 28.0 / 3.0, 1e-14);
  EXPECT_EQ(points.size(), 160u);
  EXPECT_EQ(points.front(), 0.0);
  EXPECT_EQ(*std::max_element(points.begin(), points.end()), 2.0);
}

TEST(Integrate, ReversedBoundsNegateExactly) {
  auto f = [](double x) -> EosResult<double> { return std::exp(-x * x) + std::sqrt(x + 1.0); };
  for (auto [a, b] : {std::pair{0.0, 1.0}, std::pair{-0.75, 7.5}}) {
    const auto forward = integrate(f, a, b);
    const auto reversed = integrate(f, b, a);
    ASSERT_TRUE(forward && reversed);
    EXPECT_EQ(*reversed, -*forward);
  }
}

TEST(Integrate, SmoothAndSingularIntegrandsAgainstHighPrecision) {
  // References from mpmath.quad at 40 digits (or exact).
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
    auto f = [&](double x) -> EosResult<double> { return c.integrand(x); };
    const auto result = integrate(f, c.a, c.b);
    ASSERT_TRUE(result);
    EXPECT_NEAR(*result, c.exact, 1e-10 * std::abs(c.exact)) << c.a << " " << c.b;
  }
}

TEST(Integrate, RefinementStaysInsideThePanelWithTheKink) {
  // Panels of width 1 on [0, 32]; |x - 5.3| is linear everywhere but panel 5.
  std::vector<double> points;
  auto kink = recorded(points, [](double x) -> EosResult<double> { return std::abs(x - 5.3); });
  const auto result = integrate(kink, 0.0, 32.0);
  ASSERT_TRUE(result);
  EXPECT_NEAR(*result, 0.5 * 5.3 * 5.3 + 0.5 * 26.7 * 26.7, 1e-8);
  const auto below = std::count_if(points.begin(), points.end(), [](double x) { return x < 5.0; });
  const auto above = std::count_if(points.begin(), points.end(), [](double x) { return x > 6.0; });
  EXPECT_EQ(below, 5 * 5 - 1);   // panels 0..4, without the boundary 5
  EXPECT_EQ(above, 26 * 5 - 1);  // panels 6..31, without the boundary 6
  EXPECT_GT(points.size(), 160u);
  // Panels are processed in order: nothing beyond panel 5 before its end.
  const auto first_above = std::find_if(points.begin(), points.end(), [](double x) { return x > 6.0; });
  EXPECT_TRUE(std::all_of(first_above, points.end(), [](double x) { return x >= 6.0; }));
}

TEST(Integrate, ErrorOfIntegrandEndsAtOnce) {
  const EosError refusal = EosError::invalid_state("volume", "must be positive and finite");
  std::vector<double> points;
  auto f = recorded(points, [&](double x) -> EosResult<double> {
    if (x > 0.4) return std::unexpected(refusal);
    return x;
  });
  const auto result = integrate(f, 0.0, 1.0);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), refusal);
  EXPECT_GT(points.back(), 0.4);
  EXPECT_EQ(std::count_if(points.begin(), points.end(), [](double x) { return x > 0.4; }), 1);
}

TEST(Integrate, NonFiniteValuesAndOverflowingSums) {
  struct Case {
    double (*integrand)(double);
    double a, b;
  };
  const Case cases[] = {
      {[](double x) { return x > 0.7 ? inf : 1.0; }, 0.0, 1.0},  // infinite value
      {[](double x) { return x > 0.7 ? nan : 1.0; }, 0.0, 1.0},  // NaN value
      {[](double) { return 1e308; }, 0.0, 10.0},                 // 4 fm overflows
      {[](double) { return 1e300; }, -1e300, 1e300},             // finite panels, infinite sum
  };
  for (const Case& c : cases) {
    auto f = [&](double x) -> EosResult<double> { return c.integrand(x); };
    const auto result = integrate(f, c.a, c.b);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().kind(), Kind::NonFiniteResult);
  }
}

}  // namespace
}  // namespace nivaltus::quadrature
