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

auto line(double slope, double root) {
  return [slope, root](double x) -> EosResult<double> { return slope * (x - root); };
}
// `below` under x = at, -below from there on; a constant for at = inf.
auto step(double at, double below) {
  return [at, below](double x) -> EosResult<double> { return x < at ? below : -below; };
}

// A bracket without a sign change evaluates nothing; a jump ends on the half-
// width |mid| 1e-14 + x_tol, or after 256 iterations at 0 with x_tol = 0.
TEST(BisectBracket, StopsOnWidthOrAfter256Iterations) {
  std::vector<double> points;
  EXPECT_TRUE(fails_with(bisect_bracket(recorded(points, line(1.0, 0.0)), 0.0, 1.0, 1.0, 2.0, 2.0, 0.0, 0.0),
                         EosError::bracketing_failed()));
  EXPECT_TRUE(points.empty());
  EXPECT_NEAR(value_of(bisect_bracket(step(1.0 / 3.0, -1.0), 0.0, 0.0, -1.0, 1.0, 1.0, 1e-12, 0.5)),
              1.0 / 3.0, 2e-12);
  EXPECT_TRUE(
      fails_with(bisect_bracket(recorded(points, step(0.0, -1.0)), 0.0, -1.0, -1.0, 1.0, 1.0, 0.0, 0.0),
                 EosError::convergence_failed()));
  EXPECT_EQ(points.size(), 256u);
}

TEST(CheckResidual, ToleranceIs1e8TimesTheLargerOfTargetAndOne) {
  EXPECT_EQ(check_residual(step(inf, 1e-8), 0.0, 7.0), 7.0);
  EXPECT_EQ(check_residual(step(inf, 1e6 + 0.9e-2), 1e6, 7.0), 7.0);
  EXPECT_FALSE(check_residual(step(inf, -std::nextafter(1e-8, 1.0)), 0.0, 7.0));
  EXPECT_FALSE(check_residual(step(inf, 1e6 - 1.1e-2), 1e6, 7.0));
}

// Checks evaluate nothing; within 1e-10 of the target, T_ref is the answer.
TEST(Solvers, ChecksAndReferenceAnswer) {
  std::vector<double> points;
  const auto f = recorded(points, line(-1.0, 5.0));
  EXPECT_TRUE(fails_with(solve_volume_function(f, 1.0, inf), bad_state("reference volume")));
  EXPECT_TRUE(fails_with(solve_temperature_function(f, inf, -1.0), bad_state("pressure", phrase::finite)));
  EXPECT_TRUE(points.empty());
  EXPECT_EQ(solve_temperature_function(f, -295.0 + 2e-8, 300.0), 300.0);
  EXPECT_EQ(points.size(), 1u);
}

// mpmath.findroot at 40 digits on the textbook BM3 form; an exact root at the
// candidate 8 closes the bracket [8, 10]; a jump fails the residual test.
TEST(SolveVolume, Roots) {
  const auto bm3 = *isothermal::BM3::make(10.0, 160.0, 4.5);
  EXPECT_NEAR(value_of(solve_volume(bm3, 50.0)), 8.194677088633967928, 1e-12);
  EXPECT_NEAR(value_of(solve_volume(bm3, -5.0)), 10.342843275834151378, 1e-12);
  const double v = value_of(solve_volume_function(line(-1.0, 8.0), 0.0, 10.0));
  EXPECT_NEAR(v, 8.0, 1e-13);
  EXPECT_GT(v, 8.0);
  EXPECT_TRUE(fails_with(solve_volume_function(step(9.0, 10.0), 0.0, 10.0), EosError::convergence_failed()));
}

// V_ref, then at most 160 candidates: 0.8^k V_ref above 1e-14 V_ref (144 from
// 10; for a subnormal V_ref 0.8 V rounds to V) or 1.05^k V_ref.
TEST(SolveVolume, SearchesEndAfterTheirCandidates) {
  for (const auto& [v_ref, root, pressure, evaluations] :
       {std::tuple{10.0, inf, 2.0, 145u}, {tiny, inf, 2.0, 161u}, {1.0, 3000.0, 0.0, 161u}}) {
    std::vector<double> points;
    const auto v = solve_volume_function(recorded(points, step(root, 1.0)), pressure, v_ref);
    EXPECT_TRUE(
        fails_with(v, pressure > 0.0 ? EosError::bracketing_failed() : EosError::outside_invertible_range()));
    EXPECT_EQ(points.size(), evaluations) << v_ref;
  }
}

// 300, then 240 and 375, then 192 and 468.75, bracketing 400. An exact root
// at a scan point ends the scan; the bisection closes in on it from either
// end. The root nearer on a log scale wins: 345 before 255, 250 before 400.
TEST(SolveTemperature, Roots) {
  std::vector<double> points;
  const double t = value_of(solve_temperature_function(recorded(points, line(1.0, 0.0)), 400.0, 300.0));
  ASSERT_GE(points.size(), 6u);
  EXPECT_EQ(std::vector<double>(points.begin(), points.begin() + 6),
            (std::vector<double>{300.0, 240.0, 375.0, 192.0, 468.75, 375.0 + (468.75 - 375.0) * 0.5}));
  EXPECT_NEAR(t, 400.0, 400.0 * 1e-14 + 300.0 * machine_epsilon);
  for (const auto& [slope, root] : {std::pair{1.0, 240.0}, {-1.0, 240.0}, {1.0, 375.0}, {-1.0, 375.0}}) {
    std::vector<double> points;
    const auto t = solve_temperature_function(recorded(points, line(slope, 0.0)), slope * root, 300.0);
    EXPECT_NEAR(value_of(t), root, root * 1e-14 + 300.0 * machine_epsilon) << slope << " " << root;
    EXPECT_NE(points[3], 192.0);  // no second scan step
  }
  const auto square = [](double t) -> EosResult<double> { return (t - 300.0) * (t - 300.0); };
  EXPECT_NEAR(value_of(solve_temperature_function(square, 45.0 * 45.0, 300.0)), 345.0, 1e-11);
  const auto product = [](double t) -> EosResult<double> { return (t - 250.0) * (t - 400.0); };
  EXPECT_NEAR(value_of(solve_temperature_function(product, 0.0, 300.0)), 250.0, 1e-11);
}

// A constant f: 1 + 144 downward steps to 1e-14 T_ref and 84 upward ones to
// 1e8 T_ref, or all 160 on both sides from a subnormal T_ref. An error in the
// downward bracket ends the solve before the upward one is bisected.
TEST(SolveTemperature, EvaluationCounts) {
  for (const auto& [t_ref, evaluations] : {std::pair{300.0, 229u}, {tiny, 321u}}) {
    std::vector<double> points;
    EXPECT_TRUE(fails_with(solve_temperature_function(recorded(points, step(inf, 1.0)), 2.0, t_ref),
                           EosError::outside_invertible_range()));
    EXPECT_EQ(points.size(), evaluations) << t_ref;
  }
  std::vector<double> points;
  const auto inside_downward = recorded(points, [](double t) -> EosResult<double> {
    return t > 240.0 && t < 300.0 ? std::unexpected(refusal) : EosResult<double>((t - 300.0) * (t - 300.0));
  });
  EXPECT_TRUE(fails_with(solve_temperature_function(inside_downward, 45.0 * 45.0, 300.0), refusal));
  EXPECT_EQ(points.size(), 4u);  // T_ref, 240, 375, first downward midpoint
}

}  // namespace
}  // namespace nivaltus::root
