// The engine's parts (losses in fits: the Python tests against SciPy): checks,
// step norms, layout sizes, a structured covariance of non-finite information.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "core/fit/covariance.hpp"
#include "core/fit/loss.hpp"
#include "core/fit/validation.hpp"
#include "tests/core/fit/fit_test_support.hpp"

namespace nivaltus::fit {
namespace {

using namespace test;

// A huge or NaN argument leaves weights and row factors at their floors ε
// and √ε; a linear cost of 1e300 is still finite.
TEST(Loss, ExtremeArgumentsStayAtTheFloors) {
  for (const double r : {1e150, nan}) {
    for (const Loss loss : {Loss::SoftL1, Loss::Cauchy}) {
      EXPECT_EQ(robust_weights(Vector{r}, loss, 1.0)[0], machine_epsilon) << r;
      EXPECT_EQ(robust_row_factors(Vector{r}, loss, 1.0)[0], std::sqrt(machine_epsilon)) << r;
    }
  }
  EXPECT_TRUE(relatively_near(robust_cost(Vector{1e150}, Loss::Linear, 1.0), 0.5e300, 1e-14));
}

// Bounds are checked before the options, the first failing parameter is
// named, then each option in turn.
TEST(ValidateProblem, ReportsTheFirstFailure) {
  const std::string lengths = "initial values and bounds must have the same non-zero length";
  const std::string bounds = "invalid initial value or bounds at parameter ";
  const std::string tolerances = "solver tolerances must be positive and finite";
  const Vector one{1.0}, zero{0.0}, two{2.0};
  const struct {
    Vector initial, lower, upper;
    SolverOptions options;
    std::string message;
  } cases[] = {
      {{1.0, 2.0}, zero, {3.0, 3.0}, {{}, 0.0}, lengths},
      {{1.0, 1.0}, {0.0, nan}, {2.0, 2.0}, {{}, 0.0}, bounds + "1"},
      {one, one, one, {{}, 0.0}, bounds + "0"},
      {{0, 0, 5, 0, 0, 5}, Vector(6, -1.0), Vector(6, 1.0), {{}, 0.0}, bounds + "2"},
      {one, zero, two, {{}, 0.0}, "f_scale must be positive and finite"},
      {one, zero, two, {{}, 5e-324}, "f_scale squared must be a normal finite number"},
      {one, zero, two, {{}, 1.0, 0.0}, tolerances},
      {one, zero, two, {{}, 1.0, 1e-8, 1e-8, nan}, tolerances},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(fails_with(validate_problem(c.initial, c.lower, c.upper, c.options), input(c.message)))
        << c.message;
  }
  EXPECT_TRUE(validate_problem(one, Vector{-inf}, Vector{inf}, SolverOptions{1}).has_value());
}

// Step components relative to max(|x_old|, 1); a gradient component that
// descends through its bound counts zero.
TEST(StepNorms, RelativeToTheStartingPointAndBlockedByBounds) {
  EXPECT_TRUE(relatively_near(scaled_norm_difference(Vector{1e6 + 1}, Vector{1e6}), 1e-6, 1e-9));
  EXPECT_EQ(scaled_norm_difference(Vector{3.5, 4.0}, Vector{0.5, 0.0}), 5.0);
  EXPECT_EQ(scaled_norm(Vector{1.6e11, -3e4, 0.6}), std::sqrt(2.36));
  const Vector x{0.0, 1.0}, lower{0.0, 0.0}, upper{1.0, 1.0};
  EXPECT_EQ(projected_gradient_norm(Vector{2.0, -3.0}, x, lower, upper), 0.0);
  EXPECT_EQ(projected_gradient_norm(Vector{-2.0, 3.0}, x, lower, upper), 3.0);
  EXPECT_EQ(projected_gradient_norm(Vector{nan, -0.5}, Vector{0.5, 0.5}, lower, upper), 0.5);
}

// Layout counts whose products or sums wrap in plain unsigned arithmetic
// are refused (by the engine before any evaluation: the Python tests).
TEST(LayoutSizes, OverflowIsDetected) {
  const StructuredLayout wrapping[] = {
      {1, std::size_t{1} << 63, 2},                             // L·P = 2^64 → 0: n would read 1
      {1, std::numeric_limits<std::size_t>::max() / 2 + 1, 1},  // (L + 1)·P wraps
      {std::size_t{1} << 33, 1, 0},                             // g·g wraps
  };
  for (const StructuredLayout& layout : wrapping) {
    EXPECT_FALSE(layout_sizes(layout).has_value()) << layout.latent_coordinate_count;
  }
}

// g = 1, P = 2, L = 1: J = [[1, 2, 0], [1, 0, 3], [0, 1, 0], [0, 0, 1]]
// has S = 2 − 2²/5 − 3²/10 = 0.3 (Schur complement), variance 1/0.3. An
// entry whose square overflows makes the information not finite: refused
// alike in block form, as the m×n matrix and by the dense covariance.
TEST(StructuredCovariance, NonFiniteInformationIsRefusedInEveryForm) {
  constexpr StructuredLayout layout{1, 2, 1};
  const FitError invalid_matrix = input("invalid symmetric matrix for pseudoinverse");
  const struct {
    std::size_t entry;  // row·3 + column
    double value;
  } cases[] = {{0, 1.0}, {0, 1e200}, {1, 1e200}, {11, -1e200}};
  for (const auto& c : cases) {
    Vector dense{1.0, 2.0, 0.0, 1.0, 0.0, 3.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
    dense[c.entry] = c.value;
    // Global block m×g, then J[b·P + p, g + p] at p·(L + 1) + b.
    const Jacobian blocks = Jacobian::structured(layout, {dense[0], dense[3], dense[6], dense[9]},
                                                 {dense[1], dense[7], dense[5], dense[11]});
    const auto from_matrix = parameter_covariance_structured(dense, layout);
    const auto from_blocks = parameter_covariance_structured(blocks, layout);
    if (c.value == 1.0) {
      ASSERT_TRUE(from_matrix.has_value() && from_blocks.has_value());
      EXPECT_TRUE(relatively_near((*from_matrix)[0], 1.0 / 0.3, 1e-12));
      EXPECT_TRUE(bit_identical(*from_matrix, *from_blocks));
      continue;
    }
    EXPECT_TRUE(fails_with(from_matrix, invalid_matrix)) << c.entry;
    EXPECT_TRUE(fails_with(from_blocks, invalid_matrix)) << c.entry;
    EXPECT_TRUE(fails_with(parameter_covariance(dense, 4, 3, 3), invalid_matrix)) << c.entry;
  }
}

}  // namespace
}  // namespace nivaltus::fit
