// Linear propagation against J·C·Jᵀ worked by hand, and the Monte Carlo
// summary against NumPy's std(ddof=1), percentile (linear rule) and cov.

#include "core/fit/uncertainty.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/core/fit/fit_test_support.hpp"

namespace nivaltus::fit {
namespace {

using namespace test;

// J = [[1, 2], [3, 4], [0, 1]], C = [[0.5, 0.1], [0.1, 0.2]]:
// J·C = [[0.7, 0.5], [1.9, 1.1], [0.1, 0.2]],
// J·C·Jᵀ = [[1.7, 4.1, 0.5], [4.1, 10.1, 1.1], [0.5, 1.1, 0.2]].
TEST(LinearPropagation, MatchesHandComputedProduct) {
  const Vector jacobian{1, 2, 3, 4, 0, 1}, covariance{0.5, 0.1, 0.1, 0.2}, state{0.1, 0.0, 0.2};
  const auto full = propagate_linear_uncertainty(jacobian, 3, 2, covariance, state, true);
  ASSERT_TRUE(full.has_value() && full->covariance.has_value());
  EXPECT_TRUE(all_near(full->variance, Vector{1.8, 10.1, 0.4}, 1e-14));
  EXPECT_TRUE(all_near(*full->covariance, Vector{1.8, 4.1, 0.5, 4.1, 10.1, 1.1, 0.5, 1.1, 0.4}, 1e-14));
  // A zero covariance passes its factorisation; −0.0 is a valid variance.
  EXPECT_EQ(propagate_linear_uncertainty(Vector{2.0}, 1, 1, Vector{0.0}, Vector{-0.0}, false)->variance,
            Vector{0.0});
}

TEST(LinearPropagation, RefusesBadInputsInOrder) {
  const std::string sizes = "invalid dimensions for linear uncertainty propagation";
  const struct {
    Vector jacobian;
    std::size_t m, n;
    Vector covariance, state;
    std::string message;
  } cases[] = {
      {{}, 0, 1, {1.0}, {}, sizes},
      {{1, 2}, 1, 1, {1.0}, {0.0}, sizes},
      {{1}, 1, 1, {1.0, 0.0}, {0.0}, sizes},
      {{1}, 1, 1, {1.0}, {0.0, 0.0}, sizes},
      {{nan}, 1, 1, {-1.0}, {-1.0}, "linear uncertainty inputs must be finite"},
      {{1}, 1, 1, {inf}, {0.0}, "linear uncertainty inputs must be finite"},
      {{1}, 1, 1, {-1.0}, {-1e-300}, "state variances must be nonnegative"},
      {{1, 1}, 1, 2, {1, 2, 2, 1}, {0.0}, "parameter covariance must be positive semidefinite"},
      {{1, 1}, 1, 2, {1, 1 + 1e-9, 1, 1}, {0.0}, "parameter covariance must be symmetric"},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(fails_with(propagate_linear_uncertainty(c.jacobian, c.m, c.n, c.covariance, c.state, false),
                           input(c.message)))
        << c.message;
  }
}

// [[4, 2], [2, 1]] has rank one: L = [[2, 0], [1, 0]].
TEST(PositiveSemidefiniteFactor, FactorsARankOneMatrix) {
  EXPECT_TRUE(
      all_near(positive_semidefinite_factor(Vector{4, 2, 2, 1}, 2).value(), Vector{2, 0, 1, 0}, 1e-15, 1.0));
}

// 17 draws of two quantities; NumPy: std(ddof=1), percentile(…, [2.5, 97.5])
// and cov of the same values.
TEST(MonteCarloSummary, MatchesNumPy) {
  // 17 rows of (first, second) quantity.
  const Vector samples{0.5960079923851836,  2.0,
                       3.0924849598121633,  1.479684374568977,
                       1.204964450467714,   0.23993428580048207,
                       -2.1548313331932327, -1.1596922091997142,
                       -1.9182934626679615, -2.0844446813373163,
                       1.714549761849795,   -2.122913374581593,
                       3.5680747398701453,  -1.2805216426814003,
                       1.0733632705211904,  0.023024738845149717,
                       -1.9683262648384197, 1.151131757020499,
                       -0.9544113367110997, 1.5497172727668302,
                       2.776220544121669,   1.0078045086866092,
                       3.904685166574049,   -0.24325227592426957,
                       0.9242794493169553,  -1.6385773082333683,
                       -1.6521950152449303, -2.5454432042622237,
                       0.09630313378430988, -2.560852544209508,
                       3.754720246056445,   -1.701073855991985,
                       4.109966915608169,   -0.3939902723624992};
  const auto summary = summarize_monte_carlo(samples, 17, 2, true, 0.95);
  ASSERT_TRUE(summary.has_value()) << summary.error();
  EXPECT_TRUE(all_near(summary->standard_error, Vector{2.2279987010702222, 1.5334634858809697}, 1e-14));
  EXPECT_TRUE(all_near(summary->lower, Vector{-2.0802293058513075, -2.554688808230594}, 1e-14));
  EXPECT_TRUE(all_near(summary->upper, Vector{4.0278542159945205, 1.819886909106732}, 1e-14));
  ASSERT_TRUE(summary->covariance.has_value());
  EXPECT_TRUE(all_near(
      *summary->covariance,
      Vector{4.9639782119705975, 0.35998879635206993, 0.35998879635206993, 2.351510262530215}, 1e-13));
}

// NumPy's linear percentile of {1, …, 5} at 5 % and 95 %: 1.2 and 4.8; a
// confidence of zero gives the median; two samples {1, 3}: std √2.
TEST(MonteCarloSummary, InterpolatesBetweenOrderStatistics) {
  const auto five = summarize_monte_carlo(Vector{5, 3, 1, 4, 2}, 5, 1, false, 0.9).value();
  EXPECT_TRUE(all_near(Vector{five.lower[0], five.upper[0]}, Vector{1.2, 4.8}, 1e-15));
  const auto median = summarize_monte_carlo(Vector{5, 3, 1, 4}, 4, 1, false, 0.0).value();
  EXPECT_EQ(Vector({median.lower[0], median.upper[0]}), Vector({3.5, 3.5}));
  const auto two = summarize_monte_carlo(Vector{3.0, 1.0}, 2, 1, false, 0.5).value();
  EXPECT_TRUE(all_near(Vector{two.standard_error[0], two.lower[0], two.upper[0]},
                       Vector{std::sqrt(2.0), 1.5, 2.5}, 1e-15));
}

TEST(MonteCarloSummary, RefusesBadSamplesOrConfidence) {
  const FitError refused = input("invalid Monte Carlo samples or confidence");
  EXPECT_TRUE(fails_with(summarize_monte_carlo(Vector{1, 2}, 2, 1, false, 1.0), refused));
  EXPECT_TRUE(fails_with(summarize_monte_carlo(Vector{1, 2}, 2, 1, false, nan), refused));
  EXPECT_TRUE(fails_with(summarize_monte_carlo(Vector{1}, 1, 1, false, 0.5), refused));
  EXPECT_TRUE(fails_with(summarize_monte_carlo(Vector{1, 2, 3}, 2, 1, false, 0.5), refused));
  EXPECT_TRUE(fails_with(summarize_monte_carlo(Vector{}, 2, 0, false, 0.5), refused));
  EXPECT_TRUE(fails_with(summarize_monte_carlo(Vector{1, inf}, 2, 1, false, 0.5), refused));
}

}  // namespace
}  // namespace nivaltus::fit
