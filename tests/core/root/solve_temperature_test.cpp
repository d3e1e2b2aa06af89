#include "core/root/solve_temperature.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace nivaltus::root {
namespace {

using Kind = EosError::Kind;
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double tiny = std::numeric_limits<double>::denorm_min();

// Wraps a function object, recording every temperature it is called with.
template <class G>
auto recorded(std::vector<double>& points, G g) {
  return [&points, g](double t) -> EosResult<double> {
    points.push_back(t);
    return g(t);
  };
}

TEST(SolveTemperature, InvalidArgumentsInOrderWithoutEvaluating) {
  struct Case {
    double target, reference_temperature;
    const char* field;
    const char* message;
  };
  const Case cases[] = {
      {inf, -1.0, "pressure", "must be finite"},
      {nan, 300.0, "pressure", "must be finite"},
      {1.0, 0.0, "temperature", "must be positive and finite"},
      {1.0, -0.0, "temperature", "must be positive and finite"},
      {1.0, inf, "temperature", "must be positive and finite"},
      {1.0, nan, "temperature", "must be positive and finite"},
  };
  for (const Case& c : cases) {
    std::vector<double> points;
    const auto result = solve_temperature_function(
        recorded(points, [](double t) -> EosResult<double> { return t; }), c.target, c.reference_temperature);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), EosError::invalid_state(c.field, c.message));
    EXPECT_TRUE(points.empty());
  }
}

TEST(SolveTemperature, EarlyReturnOfReferenceTemperature) {
  std::vector<double> points;
  auto f = recorded(points, [](double t) -> EosResult<double> { return 2.0 * t; });
  const auto result = solve_temperature_function(f, 600.0 + 5e-8, 300.0);  // within 1e-10 * 600
  ASSERT_TRUE(result);
  EXPECT_EQ(*result, 300.0);
  EXPECT_EQ(points.size(), 1u);
}

TEST(SolveTemperature, IdentityScansBothSidesThenBisectsUpward) {
  std::vector<double> points;
  auto f = recorded(points, [](double t) -> EosResult<double> { return t; });
  const auto result = solve_temperature_function(f, 400.0, 300.0);
  ASSERT_TRUE(result);
  // 300, then step 1: 240 and 375, step 2: 192 and 468.75 (bracket 375..468.75).
  ASSERT_GE(points.size(), 5u);
  EXPECT_EQ((std::vector<double>(points.begin(), points.begin() + 5)),
            (std::vector<double>{300.0, 240.0, 375.0, 192.0, 468.75}));
  EXPECT_EQ(points[5], 375.0 + (468.75 - 375.0) * 0.5);
  EXPECT_NEAR(*result, 400.0, 400.0 * 1e-14 + 300.0 * machine_epsilon);
  EXPECT_EQ(points.back(), *result);  // the final residual test
}

// An exact root at a scan point ends the scan; the result is a bisection
// midpoint next to it, for increasing and decreasing functions alike.
TEST(SolveTemperature, ExactRootAtScanPoint) {
  struct Case {
    double slope, target, root;
  };
  const Case cases[] = {
      {+1.0, 240.0, 240.0},   // downward bracket, lower end exact, f increasing
      {-1.0, -240.0, 240.0},  // downward bracket, lower end exact, f decreasing
      {+1.0, 375.0, 375.0},   // upward bracket, upper end exact
      {-1.0, -375.0, 375.0},
  };
  for (const Case& c : cases) {
    std::vector<double> points;
    auto f = recorded(points, [&](double t) -> EosResult<double> { return c.slope * t; });
    const auto result = solve_temperature_function(f, c.target, 300.0);
    ASSERT_TRUE(result) << c.slope << " " << c.target << ": " << result.error().to_string();
    EXPECT_NEAR(*result, c.root, c.root * 1e-14 + 300.0 * machine_epsilon);
    EXPECT_NE(*result, c.root);
    EXPECT_EQ(points[1], 240.0);
    EXPECT_EQ(points[2], 375.0);
    EXPECT_NE(points[3], 192.0);  // the scan ended after its first step
  }
}

TEST(SolveTemperature, NearestRootOnLogScaleWins) {
  // (T - 300)^2 = 45^2 has roots 255 and 345, both bracketed in the first step;
  // |ln(345/300)| < |ln(255/300)|.
  auto f = [](double t) -> EosResult<double> { return (t - 300.0) * (t - 300.0); };
  const auto result = solve_temperature_function(f, 45.0 * 45.0, 300.0);
  ASSERT_TRUE(result);
  EXPECT_NEAR(*result, 345.0, 1e-11);

  // Roots 250 (|ln(250/300)| = 0.182) and 400 (0.288): the downward one wins.
  auto g = [](double t) -> EosResult<double> { return (t - 250.0) * (t - 400.0); };
  const auto lower = solve_temperature_function(g, 0.0, 300.0);
  ASSERT_TRUE(lower);
  EXPECT_NEAR(*lower, 250.0, 1e-11);
}

TEST(SolveTemperature, ConstantFunctionIsOutsideRangeAfter229Evaluations) {
  for (double t_ref : {1.0, 300.0, 1e-3, 6e5}) {
    std::vector<double> points;
    auto f = recorded(points, [](double) -> EosResult<double> { return 1.0; });
    const auto result = solve_temperature_function(f, 2.0, t_ref);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().kind(), Kind::OutsideInvertibleRange);
    EXPECT_EQ(points.size(), 229u) << t_ref;
    for (double t : points) {
      EXPECT_GE(t, 1e-14 * t_ref);
      EXPECT_LE(t, 1e8 * t_ref);
    }
  }
}

TEST(SolveTemperature, SubnormalReferenceSpendsAll160Steps) {
  std::vector<double> points;
  auto f = recorded(points, [](double) -> EosResult<double> { return 1.0; });
  const auto result = solve_temperature_function(f, 2.0, tiny);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().kind(), Kind::OutsideInvertibleRange);
  EXPECT_EQ(points.size(), 321u);
}

TEST(SolveTemperature, ErrorAtFirstDownwardPointAfterTwoEvaluations) {
  const EosError refusal = EosError::invalid_state("temperature", "must be positive and finite");
  std::vector<double> points;
  auto f = recorded(points, [&](double t) -> EosResult<double> {
    if (points.size() == 2) return std::unexpected(refusal);
    return t;
  });
  const auto result = solve_temperature_function(f, 1000.0, 300.0);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), refusal);
  EXPECT_EQ(points.size(), 2u);
}

TEST(SolveTemperature, DownwardBisectionFailureEndsTheSolve) {
  // Both sides bracket in the first step; f errs inside the downward bracket,
  // so the upward bracket, which holds a clean root, is never bisected.
  const EosError refusal = EosError::non_finite_result();
  std::vector<double> points;
  auto f = recorded(points, [&](double t) -> EosResult<double> {
    if (t > 240.0 && t < 300.0) return std::unexpected(refusal);
    return (t - 300.0) * (t - 300.0);
  });
  const auto result = solve_temperature_function(f, 45.0 * 45.0, 300.0);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), refusal);
  EXPECT_EQ(points.size(), 4u);  // T_ref, 240, 375, first downward midpoint
}

}  // namespace
}  // namespace nivaltus::root
