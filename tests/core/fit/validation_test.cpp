// Problem and residual checks, the two step norms, the optimality measure
// and the layout sizes.

#include "core/fit/validation.hpp"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <string>

#include "core/fit/least_squares.hpp"
#include "tests/core/fit/fit_test_support.hpp"

namespace nivaltus::fit {
namespace {

using namespace test;

// Bounds are checked before the options (every row also has f_scale = 0),
// and the first failing parameter is named.
TEST(ValidateProblem, ReportsTheFirstFailingBound) {
  const std::string lengths = "initial values and bounds must have the same non-zero length";
  const std::string bounds = "invalid initial value or bounds at parameter ";
  const struct {
    Vector initial, lower, upper;
    std::string message;
  } cases[] = {
      {{}, {}, {}, lengths},
      {{1.0, 2.0}, {0.0}, {3.0, 3.0}, lengths},
      {{nan}, {-inf}, {inf}, bounds + "0"},
      {{1.0, 1.0}, {0.0, nan}, {2.0, 2.0}, bounds + "1"},
      {{1.0}, {inf}, {inf}, bounds + "0"},
      {{1.0}, {-inf}, {-inf}, bounds + "0"},
      {{1.0}, {1.0}, {1.0}, bounds + "0"},
      {{0, 0, 5, 0, 0, 5}, Vector(6, -1.0), Vector(6, 1.0), bounds + "2"},
  };
  SolverOptions options;
  options.f_scale = 0.0;
  for (const auto& c : cases) {
    EXPECT_TRUE(fails_with(validate_problem(c.initial, c.lower, c.upper, options), input(c.message)))
        << c.message;
  }
}

TEST(ValidateProblem, RefusesEachBadOption) {
  const std::string scale = "f_scale must be positive and finite";
  const std::string squared = "f_scale squared must be a normal finite number";
  const std::string tolerances = "solver tolerances must be positive and finite";
  const struct {
    void (*change)(SolverOptions&);
    std::string message;
  } cases[] = {
      {[](SolverOptions& o) { o.f_scale = 0.0; }, scale},
      {[](SolverOptions& o) { o.f_scale = inf; }, scale},
      {[](SolverOptions& o) { o.f_scale = nan; }, scale},
      {[](SolverOptions& o) { o.f_scale = 5e-324; }, squared},
      {[](SolverOptions& o) { o.f_scale = 1e155; }, squared},
      {[](SolverOptions& o) { o.max_nfev = 0; }, "max_evaluations must be positive"},
      {[](SolverOptions& o) { o.ftol = 0.0; }, tolerances},
      {[](SolverOptions& o) { o.gtol = inf; }, tolerances},
      {[](SolverOptions& o) { o.xtol = nan; }, tolerances},
  };
  for (const auto& c : cases) {
    SolverOptions options;
    c.change(options);
    EXPECT_TRUE(
        fails_with(validate_problem(Vector{1.0}, Vector{0.0}, Vector{2.0}, options), input(c.message)))
        << c.message;
  }
  EXPECT_TRUE(validate_problem(Vector{1.0}, Vector{-inf}, Vector{inf}, SolverOptions{1}).has_value());
}

TEST(ValidateResiduals, RefusesEmptyWrongLengthOrNonFinite) {
  EXPECT_TRUE(fails_with(validate_residuals(Vector{}), invalid_vector));
  EXPECT_TRUE(fails_with(validate_residuals(Vector{1.0, nan, 2.0}), invalid_vector));
  EXPECT_TRUE(fails_with(validate_residuals(Vector{1.0, -inf}, 2), invalid_vector));
  EXPECT_TRUE(fails_with(validate_residuals(Vector{1.0, 2.0}, 3), invalid_vector));
  EXPECT_TRUE(validate_residuals(Vector{1.0, 2.0, -3.0}, 3).has_value());
}

// Each component of the step is measured against max(|x_old|, 1), so that
// the stopping test does not depend on the units of the parameters.
TEST(StepNorms, RelativeToTheStartingPoint) {
  EXPECT_TRUE(relatively_near(scaled_norm_difference(Vector{1e6 + 1}, Vector{1e6}), 1e-6, 1e-9));
  EXPECT_EQ(scaled_norm_difference(Vector{3.5, 4.0}, Vector{0.5, 0.0}), 5.0);
  EXPECT_EQ(scaled_norm(Vector{0.6, 0.8}), 1.0);
  EXPECT_EQ(scaled_norm(Vector{1.6e11, -3e4, 0.0}), std::sqrt(2.0));
}

TEST(ProjectedGradientNorm, BlocksDescentThroughABound) {
  const Vector x{0.0, 1.0}, lower{0.0, 0.0}, upper{1.0, 1.0};
  EXPECT_EQ(projected_gradient_norm(Vector{2.0, -3.0}, x, lower, upper), 0.0);
  EXPECT_EQ(projected_gradient_norm(Vector{-2.0, 3.0}, x, lower, upper), 3.0);
  EXPECT_EQ(projected_gradient_norm(Vector{nan, -0.5}, Vector{0.5, 0.5}, lower, upper), 0.5);
}

constexpr std::size_t top = std::numeric_limits<std::size_t>::max();

// Counts whose products or sums wrap in plain unsigned arithmetic.
const StructuredLayout wrapping[] = {
    {1, std::size_t{1} << 63, 2},  // L·P = 2^64 → 0: n would read 1
    {2, 1, top},                   // g + L·P wraps to 1, L + 1 to 0
    {top, 1, 1},                   // g + L·P wraps
    {1, top / 2 + 1, 1},           // (L + 1)·P wraps
    {std::size_t{1} << 33, 1, 0},  // g·g wraps
};

TEST(LayoutSizes, OverflowIsDetected) {
  // g = 3, P = 5, L = 2: n = 13, m = 15, global Jacobian m·g, latent
  // Jacobian m·L, blocks g², g·L·P and P·L².
  const auto sizes = layout_sizes(StructuredLayout{3, 5, 2});
  ASSERT_TRUE(sizes.has_value());
  EXPECT_EQ(
      (std::array{sizes->parameter_count, sizes->residual_count, sizes->global_jacobian,
                  sizes->latent_jacobian, sizes->global_block, sizes->coupling_blocks, sizes->latent_blocks}),
      (std::array<std::size_t, 7>{13, 15, 45, 30, 9, 30, 20}));
  const FitError mismatch = input("structured layout does not match the parameter vector");
  for (const StructuredLayout& layout : wrapping) {
    EXPECT_FALSE(layout_sizes(layout).has_value()) << layout.global_parameter_count;
    EXPECT_TRUE(fails_with(check_layout_parameters(layout, 1), mismatch));
  }
  EXPECT_TRUE(check_layout_parameters(StructuredLayout{3, 5, 2}, 13).has_value());
  EXPECT_TRUE(fails_with(check_layout_parameters(StructuredLayout{3, 5, 2}, 12), mismatch));
}

// A layout whose wrapped sizes would match a one-parameter problem never
// reaches the residual function.
TEST(LayoutSizes, EngineRefusesAWrappingLayout) {
  std::size_t calls = 0;
  const auto residual = [&](std::span<const double> p) -> FitResult<Vector> {
    ++calls;
    return Vector{p[0]};
  };
  for (const StructuredLayout& layout : wrapping) {
    EXPECT_TRUE(
        fails_with(least_squares_internal(Vector{1.0}, Vector{-inf}, Vector{inf}, {}, layout, residual),
                   input("structured layout does not match the parameter vector")));
  }
  EXPECT_EQ(calls, 0u);
}

}  // namespace
}  // namespace nivaltus::fit
