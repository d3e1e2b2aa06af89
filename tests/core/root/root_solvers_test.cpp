// The bracket bisection, the residual test, and the volume and temperature
// solvers: roots against independent values, checks, and evaluation counts.

#include <gtest/gtest.h>

#include <vector>

#include "core/isothermal/birch_murnaghan.hpp"
#include "core/root/solve_temperature.hpp"
#include "core/root/solve_volume.hpp"
#include "tests/core/test_support.hpp"

namespace nivaltus::root {
namespace {

using namespace test;

const EosError refusal = bad_state("volume", "is outside the modified Tait EOS domain");

auto constant(double value) {
  return [value](double) -> EosResult<double> { return value; };
}
auto line(double slope, double root) {
  return [slope, root](double x) -> EosResult<double> { return slope * (x - root); };
}
// Records its arguments; its n-th evaluation fails, the others give g.
template <class G>
auto failing_at(std::vector<double>& points, std::size_t n, G g) {
  return [&points, n, g](double x) -> EosResult<double> {
    points.push_back(x);
    if (points.size() == n) return std::unexpected(refusal);
    return g(x);
  };
}

// Ends on the residual, the half-width |mid| 1e-14 + x_tol, or after 256
// iterations; a bracket without a sign change evaluates nothing.
TEST(BisectBracket, StopsOnResidualOrWidthOrAfter256Iterations) {
  std::vector<double> points;
  EXPECT_TRUE(fails_with(bisect_bracket(recorded(points, line(1.0, 0.0)), 0.0, 1.0, 1.0, 2.0, 2.0, 0.0, 0.0),
                         EosError::bracketing_failed()));
  EXPECT_TRUE(points.empty());
  EXPECT_EQ(bisect_bracket(recorded(points, line(2.0, 0.5)), 0.0, 0.0, -1.0, 1.0, 1.0, 0.0, 0.0), 0.5);
  EXPECT_EQ(points.size(), 1u);
  // A jump never meets f_tol: the width ends the search, unless the jump sits
  // at 0 and x_tol is 0.
  const auto jump_at = [](double at) {
    return [at](double x) -> EosResult<double> { return x < at ? -1.0 : 1.0; };
  };
  EXPECT_NEAR(value_of(bisect_bracket(jump_at(1.0 / 3.0), 0.0, 0.0, -1.0, 1.0, 1.0, 1e-12, 0.5)), 1.0 / 3.0,
              2e-12);
  points.clear();
  EXPECT_TRUE(fails_with(bisect_bracket(recorded(points, jump_at(0.0)), 0.0, -1.0, -1.0, 1.0, 1.0, 0.0, 0.0),
                         EosError::convergence_failed()));
  EXPECT_EQ(points.size(), 256u);
}

// |f(x) - target| <= 1e-8 max(|target|, 1).
TEST(CheckResidual, ToleranceIsRelativeAboveOneAbsoluteBelow) {
  EXPECT_EQ(check_residual(constant(1e-8), 0.0, 7.0), 7.0);
  EXPECT_EQ(check_residual(constant(1e6 + 0.9e-2), 1e6, 7.0), 7.0);
  const EosError failed = EosError::convergence_failed();
  EXPECT_TRUE(fails_with(check_residual(constant(-std::nextafter(1e-8, 1.0)), 0.0, 7.0), failed));
  EXPECT_TRUE(fails_with(check_residual(constant(1e6 - 1.1e-2), 1e6, 7.0), failed));
}

// mpmath.findroot at 40 digits on the textbook BM3 form, V0 = 10, K0 = 160,
// K0' = 4.5: compression below V0, tension above it.
TEST(SolveVolume, Bm3RootsAgainstHighPrecision) {
  const auto bm3 = *isothermal::BM3::make(10.0, 160.0, 4.5);
  EXPECT_NEAR(value_of(solve_volume(bm3, 50.0)), 8.194677088633967928, 1e-12);
  EXPECT_NEAR(value_of(solve_volume(bm3, -5.0)), 10.342843275834151378, 1e-12);
}

// V_ref, then at most 160 candidates: downward V_ref 0.8^k above 1e-14 V_ref
// (144 of them from V_ref = 10), upward V_ref 1.05^k below 1e4 V_ref. For a
// subnormal V_ref, 0.8 V rounds back to V and the limit is zero: only the
// candidate count ends that search.
// Checks evaluate nothing; a subnormal V_ref within 1e-10 of P is the answer.
TEST(SolveVolume, SearchesEndAfterTheirCandidates) {
  std::vector<double> points;
  EXPECT_TRUE(fails_with(solve_volume_function(recorded(points, line(-1.0, 5.0)), nan, -1.0),
                         bad_state("pressure", phrase::finite)));
  EXPECT_TRUE(fails_with(solve_volume_function(recorded(points, line(-1.0, 5.0)), 1.0, inf),
                         bad_state("reference volume")));
  EXPECT_EQ(solve_volume_function(recorded(points, line(-1.0, 5.0)), 5.0, tiny), tiny);
  EXPECT_EQ(points.size(), 1u);
  const auto step_down_at = [](double root) {
    return [root](double v) -> EosResult<double> { return v < root ? 1.0 : -1.0; };
  };
  for (const auto& [v_ref, root, pressure, evaluations] :
       {std::tuple{10.0, inf, 2.0, 145u}, {tiny, inf, 2.0, 161u}, {1.0, 3000.0, 0.0, 161u}}) {
    std::vector<double> points;
    const auto v = solve_volume_function(recorded(points, step_down_at(root)), pressure, v_ref);
    EXPECT_TRUE(
        fails_with(v, pressure > 0.0 ? EosError::bracketing_failed() : EosError::outside_invertible_range()));
    EXPECT_EQ(points.size(), evaluations) << v_ref;
  }
  for (double pressure : {100.0, -100.0}) {  // errors end the downward and the upward search at once
    std::vector<double> points;
    EXPECT_TRUE(
        fails_with(solve_volume_function(failing_at(points, 4, constant(0.0)), pressure, 10.0), refusal));
    EXPECT_EQ(points.size(), 4u);
  }
}

TEST(SolveVolume, JumpAndExactCandidate) {
  // A jump across the target brackets but fails the final residual test.
  const auto jump = [](double v) -> EosResult<double> { return v < 9.0 ? 10.0 : -10.0; };
  EXPECT_TRUE(fails_with(solve_volume_function(jump, 0.0, 10.0), EosError::convergence_failed()));
  // An exact root at the candidate 8 closes the bracket [8, 10].
  const double v = value_of(solve_volume_function(line(-1.0, 8.0), 0.0, 10.0));
  EXPECT_NEAR(v, 8.0, 1e-13);
  EXPECT_GT(v, 8.0);
}

TEST(SolveTemperature, ScansDownwardThenUpwardAndBisects) {
  std::vector<double> points;
  const double t = value_of(solve_temperature_function(recorded(points, line(1.0, 0.0)), 400.0, 300.0));
  // 300, step 1: 240 and 375, step 2: 192 and 468.75, which brackets 400.
  ASSERT_GE(points.size(), 6u);
  EXPECT_EQ(std::vector<double>(points.begin(), points.begin() + 6),
            (std::vector<double>{300.0, 240.0, 375.0, 192.0, 468.75, 375.0 + (468.75 - 375.0) * 0.5}));
  EXPECT_NEAR(t, 400.0, 400.0 * 1e-14 + 300.0 * machine_epsilon);
  EXPECT_EQ(points.back(), t);  // the final residual test
}

// An exact root at a scan point ends the scan after that step, and the
// bisection closes in on it from the bracket's other end, whichever end
// holds it and whether f increases or decreases. f(T) = T with target 240
// puts the root at the lower end with f_lo exactly zero.
TEST(SolveTemperature, ExactRootAtAScanPointIsBisectedTowards) {
  for (const auto& [slope, root] : {std::pair{1.0, 240.0}, {-1.0, 240.0}, {1.0, 375.0}, {-1.0, 375.0}}) {
    std::vector<double> points;
    const auto t = solve_temperature_function(recorded(points, line(slope, 0.0)), slope * root, 300.0);
    EXPECT_NEAR(value_of(t), root, root * 1e-14 + 300.0 * machine_epsilon) << slope << " " << root;
    EXPECT_NE(t, root);
    EXPECT_NE(points[3], 192.0);  // no second scan step
  }
}

TEST(SolveTemperature, NearestRootOnALogScaleWins) {
  // Roots 255 and 345: |ln(345/300)| < |ln(255/300)|; roots 250 and 400:
  // |ln(250/300)| = 0.182 < 0.288.
  const auto square = [](double t) -> EosResult<double> { return (t - 300.0) * (t - 300.0); };
  EXPECT_NEAR(value_of(solve_temperature_function(square, 45.0 * 45.0, 300.0)), 345.0, 1e-11);
  const auto product = [](double t) -> EosResult<double> { return (t - 250.0) * (t - 400.0); };
  EXPECT_NEAR(value_of(solve_temperature_function(product, 0.0, 300.0)), 250.0, 1e-11);
}

// A constant f: 1 + 144 downward steps to 1e-14 T_ref and 84 upward ones to
// 1e8 T_ref; a subnormal T_ref runs all 160 steps on both sides. Errors end
// the solve at once.
// Checks evaluate nothing; within 1e-10 T_ref of the target, T_ref.
TEST(SolveTemperature, EvaluationCounts) {
  std::vector<double> points;
  EXPECT_TRUE(fails_with(solve_temperature_function(recorded(points, line(1.0, 0.0)), inf, -1.0),
                         bad_state("pressure", phrase::finite)));
  EXPECT_TRUE(fails_with(solve_temperature_function(recorded(points, line(1.0, 0.0)), 1.0, -0.0),
                         bad_state("temperature")));
  EXPECT_EQ(solve_temperature_function(recorded(points, line(1.0, 0.0)), 300.0 + 2e-8, 300.0), 300.0);
  EXPECT_EQ(points.size(), 1u);
  for (const auto& [t_ref, evaluations] : {std::pair{300.0, 229u}, {1e-3, 229u}, {tiny, 321u}}) {
    std::vector<double> points;
    EXPECT_TRUE(fails_with(solve_temperature_function(recorded(points, constant(1.0)), 2.0, t_ref),
                           EosError::outside_invertible_range()));
    EXPECT_EQ(points.size(), evaluations) << t_ref;
  }
  points.clear();
  EXPECT_TRUE(
      fails_with(solve_temperature_function(failing_at(points, 2, line(1.0, 0.0)), 1000.0, 300.0), refusal));
  EXPECT_EQ(points.size(), 2u);
  // Both sides bracket in the first step; f fails inside the downward
  // bracket, so the clean upward one is never bisected.
  points.clear();
  const auto inside_downward = recorded(points, [](double t) -> EosResult<double> {
    if (t > 240.0 && t < 300.0) return std::unexpected(refusal);
    return (t - 300.0) * (t - 300.0);
  });
  EXPECT_TRUE(fails_with(solve_temperature_function(inside_downward, 45.0 * 45.0, 300.0), refusal));
  EXPECT_EQ(points.size(), 4u);  // T_ref, 240, 375, first downward midpoint
}

}  // namespace
}  // namespace nivaltus::root
