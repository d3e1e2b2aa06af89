// Problem and residual checks, the two step norms, the optimality measure
// and the layout sizes.

#include "core/fit/validation.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "core/fit/least_squares.hpp"
#include "tests/core/fit/fit_test_support.hpp"

namespace nivaltus::fit {
namespace {

using namespace test;

SolverOptions valid_options() { return SolverOptions{}; }

struct ProblemCase {
  Vector initial, lower, upper;
  SolverOptions options;
  std::string message;  // empty: valid
};

std::vector<ProblemCase> problem_cases() {
  const auto with = [](auto change) {
    SolverOptions options = valid_options();
    change(options);
    return options;
  };
  const std::string bounds = "invalid initial value or bounds at parameter ";
  const SolverOptions bad_scale = with([](SolverOptions& o) { o.f_scale = 0.0; });
  return {
      {{1.0}, {-inf}, {inf}, valid_options(), ""},
      {{}, {}, {}, valid_options(), "initial values and bounds must have the same non-zero length"},
      {{1.0, 2.0},
       {0.0},
       {3.0, 3.0},
       valid_options(),
       "initial values and bounds must have the same non-zero length"},
      {{inf}, {-inf}, {inf}, valid_options(), bounds + "0"},
      {{nan}, {-inf}, {inf}, valid_options(), bounds + "0"},
      {{1.0, 1.0}, {0.0, nan}, {2.0, 2.0}, valid_options(), bounds + "1"},
      {{1.0}, {inf}, {inf}, valid_options(), bounds + "0"},
      {{1.0}, {-inf}, {-inf}, valid_options(), bounds + "0"},
      {{1.0}, {1.0}, {1.0}, valid_options(), bounds + "0"},
      {{0, 0, 5, 0, 0, 5}, {-1, -1, -1, -1, -1, -1}, {1, 1, 1, 1, 1, 1}, bad_scale, bounds + "2"},
      {{1.0}, {0.0}, {2.0}, bad_scale, "f_scale must be positive and finite"},
      {{1.0},
       {0.0},
       {2.0},
       with([](SolverOptions& o) { o.f_scale = -1.0; }),
       "f_scale must be positive and finite"},
      {{1.0},
       {0.0},
       {2.0},
       with([](SolverOptions& o) { o.f_scale = inf; }),
       "f_scale must be positive and finite"},
      {{1.0},
       {0.0},
       {2.0},
       with([](SolverOptions& o) { o.f_scale = nan; }),
       "f_scale must be positive and finite"},
      {{1.0},
       {0.0},
       {2.0},
       with([](SolverOptions& o) { o.f_scale = 5e-324; }),
       "f_scale squared must be a normal finite number"},
      {{1.0},
       {0.0},
       {2.0},
       with([](SolverOptions& o) { o.f_scale = 1e155; }),
       "f_scale squared must be a normal finite number"},
      {{1.0},
       {0.0},
       {2.0},
       with([](SolverOptions& o) { o.max_nfev = 0; }),
       "max_evaluations must be positive"},
      {{1.0}, {0.0}, {2.0}, with([](SolverOptions& o) { o.max_nfev = 1; }), ""},
      {{1.0},
       {0.0},
       {2.0},
       with([](SolverOptions& o) { o.ftol = 0.0; }),
       "solver tolerances must be positive and finite"},
      {{1.0},
       {0.0},
       {2.0},
       with([](SolverOptions& o) { o.gtol = inf; }),
       "solver tolerances must be positive and finite"},
      {{1.0},
       {0.0},
       {2.0},
       with([](SolverOptions& o) { o.xtol = nan; }),
       "solver tolerances must be positive and finite"},
  };
}

TEST(ValidateProblem, ReportsTheFirstFailingCheck) {
  std::size_t row = 0;
  for (const ProblemCase& c : problem_cases()) {
    const auto result = validate_problem(c.initial, c.lower, c.upper, c.options);
    if (c.message.empty()) {
      EXPECT_TRUE(result.has_value()) << "row " << row << ": " << result.error();
    } else {
      EXPECT_TRUE(fails_with(result, input(c.message))) << "row " << row;
    }
    ++row;
  }
}

TEST(ValidateResiduals, RefusesEmptyWrongLengthOrNonFinite) {
  EXPECT_TRUE(fails_with(validate_residuals(Vector{}), invalid_vector));
  EXPECT_TRUE(fails_with(validate_residuals(Vector{1.0, nan, 2.0}), invalid_vector));
  EXPECT_TRUE(fails_with(validate_residuals(Vector{-inf}), invalid_vector));
  EXPECT_TRUE(fails_with(validate_residuals(Vector{1.0, 2.0}, 3), invalid_vector));
  EXPECT_TRUE(validate_residuals(Vector{1.0, 2.0, -3.0}, 3).has_value());
  EXPECT_TRUE(validate_residuals(Vector{0.0}).has_value());
}

TEST(StepNorms, RelativeToTheStartingPoint) {
  EXPECT_TRUE(relatively_near(scaled_norm_difference(Vector{1e6 + 1}, Vector{1e6}), 1e-6, 1e-9));
  EXPECT_EQ(scaled_norm_difference(Vector{0.5}, Vector{0.0}), 0.5);
  EXPECT_EQ(scaled_norm_difference(Vector{}, Vector{}), 0.0);
  EXPECT_EQ(scaled_norm_difference(Vector{3.0, 4.0, 99.0}, Vector{0.0, 0.0}), 5.0);
  // x on its own scale: components above one in magnitude count as one.
  EXPECT_EQ(scaled_norm(Vector{0.6, 0.8}), 1.0);
  EXPECT_EQ(scaled_norm(Vector{1.6e11, -3e4, 0.0}), std::sqrt(2.0));
  EXPECT_EQ(scaled_norm(Vector{1e-5, 4.0}), std::sqrt(1e-10 + 1.0));
}

TEST(ProjectedGradientNorm, BlocksDescentThroughABound) {
  const Vector x{0.0, 1.0}, lower{0.0, 0.0}, upper{1.0, 1.0};
  EXPECT_EQ(projected_gradient_norm(Vector{2.0, -3.0}, x, lower, upper), 0.0);
  EXPECT_EQ(projected_gradient_norm(Vector{-2.0, 3.0}, x, lower, upper), 3.0);
  EXPECT_EQ(projected_gradient_norm(Vector{nan, -0.5}, Vector{0.5, 0.5}, lower, upper), 0.5);
  EXPECT_EQ(projected_gradient_norm(Vector{}, Vector{}, Vector{}, Vector{}), 0.0);
}

constexpr std::size_t top = std::numeric_limits<std::size_t>::max();

// Counts whose products or sums wrap in plain unsigned arithmetic.
TEST(LayoutSizes, OverflowIsDetected) {
  const auto sizes = layout_sizes(StructuredLayout{3, 5, 2});
  ASSERT_TRUE(sizes.has_value());
  EXPECT_EQ(sizes->parameter_count, 13u);
  EXPECT_EQ(sizes->residual_count, 15u);
  EXPECT_EQ(sizes->global_jacobian, 45u);
  EXPECT_EQ(sizes->latent_jacobian, 30u);
  EXPECT_EQ(sizes->global_block, 9u);
  EXPECT_EQ(sizes->coupling_blocks, 30u);
  EXPECT_EQ(sizes->latent_blocks, 20u);
  const StructuredLayout wrapping[] = {
      {1, std::size_t{1} << 63, 2},  // L·P = 2^64 → 0: n would read 1
      {2, 1, top},                   // g + L·P wraps to 1, L + 1 to 0
      {top, 1, 1},                   // g + L·P wraps
      {1, top / 2 + 1, 1},           // (L + 1)·P wraps
      {std::size_t{1} << 33, 1, 0},  // g·g wraps
  };
  for (const StructuredLayout& layout : wrapping) {
    EXPECT_FALSE(layout_sizes(layout).has_value()) << layout.global_parameter_count;
    EXPECT_TRUE(fails_with(check_layout_parameters(layout, 1),
                           input("structured layout does not match the parameter vector")));
  }
  EXPECT_TRUE(check_layout_parameters(StructuredLayout{3, 5, 2}, 13).has_value());
  EXPECT_TRUE(fails_with(check_layout_parameters(StructuredLayout{3, 5, 2}, 12),
                         input("structured layout does not match the parameter vector")));
}

// A layout whose wrapped sizes would match a one-parameter problem never
// reaches the Jacobian.
TEST(LayoutSizes, EngineRefusesAWrappingLayout) {
  std::size_t calls = 0;
  const auto residual = [&](std::span<const double> p) -> FitResult<Vector> {
    ++calls;
    return Vector{p[0]};
  };
  for (const StructuredLayout& layout :
       {StructuredLayout{1, std::size_t{1} << 63, 2}, StructuredLayout{2, 1, top}}) {
    const auto result =
        least_squares_internal(Vector{1.0}, Vector{-inf}, Vector{inf}, SolverOptions{}, layout, residual);
    EXPECT_TRUE(fails_with(result, input("structured layout does not match the parameter vector")));
  }
  EXPECT_EQ(calls, 0u);
}

}  // namespace
}  // namespace nivaltus::fit
