// The engine's parts: robust losses against closed forms and the
// conventions of SciPy's least_squares (ρ of z = (r/C)², cost ½C²Σρ,
// weights ρ', Jacobian rows scaled by √(ρ' + 2zρ'')); problem and residual
// checks, step norms, the optimality measure and layout sizes; the
// covariance of a structured problem whose information is not finite.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "core/fit/covariance.hpp"
#include "core/fit/least_squares.hpp"
#include "core/fit/loss.hpp"
#include "core/fit/validation.hpp"
#include "tests/core/fit/fit_test_support.hpp"

namespace nivaltus::fit {
namespace {

using namespace test;

const double root_epsilon = std::sqrt(machine_epsilon);

// ρ, ρ' and √max(ρ' + 2zρ'', ε) worked out by hand at chosen z; a huge or
// NaN argument leaves weights and row factors at their floors.
TEST(Loss, CostWeightAndRowFactorMatchClosedForms) {
  const struct {
    Loss loss;
    double r, c;
    double rho, weight, row_factor;
  } cases[] = {
      {Loss::Linear, 3.0, 2.0, 2.25, 1.0, 1.0},
      {Loss::Huber, 2.0, 2.0, 1.0, 1.0, 1.0},                                  // z = 1 stays quadratic
      {Loss::Huber, 3.0, 1.5, 3.0, 0.5, root_epsilon},                         // z = 4: ρ' + 2zρ'' = 0
      {Loss::SoftL1, std::sqrt(3.0), 1.0, 2.0, 0.5, std::sqrt(0.125)},         // z = 3: 1/(1+z)^1.5
      {Loss::Cauchy, std::sqrt(3.0), 1.0, std::log(4.0), 0.25, root_epsilon},  // 1/4 − 6/16 < 0
      {Loss::Cauchy, 0.5, 1.0, std::log(1.25), 0.8, std::sqrt(0.48)},          // z = 1/4: 0.8 − 0.32
      {Loss::Arctan, std::sqrt(0.5), 1.0, std::atan(0.5), 0.8, 0.4},           // z = 1/2: 0.8 − 0.64
      {Loss::Arctan, 2.0, 1.0, std::atan(4.0), 1.0 / 17.0, root_epsilon},
      {Loss::SoftL1, 1e150, 1.0, 2e150, machine_epsilon, root_epsilon},
      {Loss::Cauchy, nan, 1.0, nan, machine_epsilon, root_epsilon},
      {Loss::Linear, 1e150, 1.0, 1e300, 1.0, 1.0},
  };
  for (const auto& c : cases) {
    const Vector r{c.r};
    SCOPED_TRACE(std::string(c.loss.name()) + " r=" + std::to_string(c.r));
    const double cost = robust_cost(r, c.loss, c.c);
    EXPECT_TRUE(relatively_near(cost, 0.5 * c.c * c.c * c.rho, 1e-14) || std::isnan(c.rho + cost));
    EXPECT_TRUE(relatively_near(robust_weights(r, c.loss, c.c)[0], c.weight, 1e-14));
    EXPECT_TRUE(relatively_near(robust_row_factors(r, c.loss, c.c)[0], c.row_factor, 1e-6));
  }
}

// Bounds are checked before the options, the first failing parameter is
// named, then each option in turn.
TEST(ValidateProblem, ReportsTheFirstFailure) {
  const std::string lengths = "initial values and bounds must have the same non-zero length";
  const std::string bounds = "invalid initial value or bounds at parameter ";
  const std::string scale = "f_scale must be positive and finite";
  const std::string squared = "f_scale squared must be a normal finite number";
  const std::string tolerances = "solver tolerances must be positive and finite";
  SolverOptions no_scale, subnormal, huge, no_budget, ftol, gtol, xtol;
  no_scale.f_scale = 0.0, subnormal.f_scale = 5e-324, huge.f_scale = 1e155, no_budget.max_nfev = 0;
  ftol.ftol = 0.0, gtol.gtol = inf, xtol.xtol = nan;
  const struct {
    Vector initial, lower, upper;
    SolverOptions options;
    std::string message;
  } cases[] = {
      {{}, {}, {}, no_scale, lengths},
      {{1.0, 2.0}, {0.0}, {3.0, 3.0}, no_scale, lengths},
      {{nan}, {-inf}, {inf}, no_scale, bounds + "0"},
      {{1.0, 1.0}, {0.0, nan}, {2.0, 2.0}, no_scale, bounds + "1"},
      {{1.0}, {-inf}, {-inf}, no_scale, bounds + "0"},
      {{1.0}, {1.0}, {1.0}, no_scale, bounds + "0"},
      {{0, 0, 5, 0, 0, 5}, Vector(6, -1.0), Vector(6, 1.0), no_scale, bounds + "2"},
      {{1.0}, {0.0}, {2.0}, no_scale, scale},
      {{1.0}, {0.0}, {2.0}, subnormal, squared},
      {{1.0}, {0.0}, {2.0}, huge, squared},
      {{1.0}, {0.0}, {2.0}, no_budget, "max_evaluations must be positive"},
      {{1.0}, {0.0}, {2.0}, ftol, tolerances},
      {{1.0}, {0.0}, {2.0}, gtol, tolerances},
      {{1.0}, {0.0}, {2.0}, xtol, tolerances},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(fails_with(validate_problem(c.initial, c.lower, c.upper, c.options), input(c.message)))
        << c.message;
  }
  EXPECT_TRUE(validate_problem(Vector{1.0}, Vector{-inf}, Vector{inf}, SolverOptions{1}).has_value());
  EXPECT_TRUE(fails_with(validate_residuals(Vector{}), invalid_vector));
  EXPECT_TRUE(fails_with(validate_residuals(Vector{1.0, nan, 2.0}), invalid_vector));
  EXPECT_TRUE(fails_with(validate_residuals(Vector{1.0, 2.0}, 3), invalid_vector));
  EXPECT_TRUE(validate_residuals(Vector{1.0, 2.0, -3.0}, 3).has_value());
}

// Each component of a step is measured against max(|x_old|, 1), so that
// the stopping test does not depend on the units of the parameters; a
// gradient component that descends through its bound counts zero.
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
// are refused, by the engine before any residual evaluation.
TEST(LayoutSizes, OverflowIsDetected) {
  constexpr std::size_t top = std::numeric_limits<std::size_t>::max();
  const StructuredLayout wrapping[] = {
      {1, std::size_t{1} << 63, 2},  // L·P = 2^64 → 0: n would read 1
      {2, 1, top},                   // g + L·P wraps to 1, L + 1 to 0
      {top, 1, 1},                   // g + L·P wraps
      {1, top / 2 + 1, 1},           // (L + 1)·P wraps
      {std::size_t{1} << 33, 1, 0},  // g·g wraps
  };
  // g = 3, P = 5, L = 2: n = 13, m = 15, global Jacobian m·g, latent
  // Jacobian m·L, blocks g², g·L·P and P·L².
  const auto sizes = layout_sizes(StructuredLayout{3, 5, 2});
  ASSERT_TRUE(sizes.has_value());
  EXPECT_EQ(
      (std::array{sizes->parameter_count, sizes->residual_count, sizes->global_jacobian,
                  sizes->latent_jacobian, sizes->global_block, sizes->coupling_blocks, sizes->latent_blocks}),
      (std::array<std::size_t, 7>{13, 15, 45, 30, 9, 30, 20}));
  const FitError mismatch = input("structured layout does not match the parameter vector");
  EXPECT_TRUE(check_layout_parameters(StructuredLayout{3, 5, 2}, 13).has_value());
  EXPECT_TRUE(fails_with(check_layout_parameters(StructuredLayout{3, 5, 2}, 12), mismatch));
  std::size_t calls = 0;
  const auto residual = [&](std::span<const double> p) -> FitResult<Vector> {
    ++calls;
    return Vector{p[0]};
  };
  for (const StructuredLayout& layout : wrapping) {
    EXPECT_FALSE(layout_sizes(layout).has_value()) << layout.global_parameter_count;
    EXPECT_TRUE(fails_with(
        least_squares_internal(Vector{1.0}, Vector{-inf}, Vector{inf}, {}, layout, residual), mismatch));
  }
  EXPECT_EQ(calls, 0u);
}

// Layout g = 1, P = 2, L = 1, columns (global, latent of point 0, latent of
// point 1), rows b·P + p: J = [[1, 2, 0], [1, 0, 3], [0, 1, 0], [0, 0, 1]],
// S = ΣJ_i0² − Σ_p C_p²/B_p = 2 − 2²/5 − 3²/10 = 0.3, variance 1/0.3. An
// entry whose square overflows makes the information not finite: refused
// alike whether the Jacobian comes as its m×n matrix or in block form, and
// as the dense covariance refuses it.
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
