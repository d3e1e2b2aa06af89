// Finite-difference Jacobians, normal equations and damped steps, the scaled
// linear solve and the parameter covariance; the block form of a structured
// problem against its dense m×n form.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "core/fit/covariance.hpp"
#include "core/fit/finite_difference.hpp"
#include "core/fit/linear_solve.hpp"
#include "core/fit/loss.hpp"
#include "core/fit/normal_equations.hpp"
#include "tests/core/fit/fit_test_support.hpp"

namespace nivaltus::fit {
namespace {

using namespace test;

constexpr double h0 = 1.4901161193847656e-08;  // 2^-26

// r = (x0², 3·x0) records the x0 of every evaluation.
struct Recorder {
  Vector* points;
  FitResult<Vector> operator()(std::span<const double> x) const {
    points->push_back(x[0]);
    return Vector{x[0] * x[0], 3.0 * x[0]};
  }
};

struct ColumnCase {
  double x, lower, upper;
  double forward, backward;  // expected shifts; 0 where that side is not evaluated
};

TEST(FiniteDifference, StepsFollowTheBounds) {
  const ColumnCase cases[] = {
      {0.0, -inf, inf, h0, h0},
      {1e6, -inf, inf, 1e6 * h0, 1e6 * h0},
      {2.0, 0.0, 2.0, 0.0, 2.0 * h0},              // at the upper bound: backward
      {-3.0, -3.0, 5.0, 3.0 * h0, 0.0},            // at the lower bound: forward
      {1.0, 0.0, 1.0 + 0.25 * h0, 0.25 * h0, h0},  // forward room shorter than h
  };
  for (const ColumnCase& c : cases) {
    Vector points;
    Recorder residual{&points};
    const Vector x{c.x}, lower{c.lower}, upper{c.upper};
    const Vector base{c.x * c.x, 3.0 * c.x};
    const auto column = finite_difference_column(x, lower, upper, base, 2, 0, residual);
    ASSERT_TRUE(column.has_value()) << column.error();
    Vector expected_points;
    if (c.forward > 0.0) expected_points.push_back(c.x + c.forward);
    if (c.backward > 0.0) expected_points.push_back(c.x - c.backward);
    EXPECT_EQ(points, expected_points) << c.x;
    EXPECT_EQ(column->step, c.forward + c.backward) << c.x;
    // d(3x)/dx = 3 whatever the side.
    EXPECT_TRUE(relatively_near(column->difference[1] / column->step, 3.0, 1e-6)) << c.x;
  }
  Vector points;
  Recorder residual{&points};
  EXPECT_TRUE(fails_with(finite_difference_column(Vector{1.0, 2.0}, Vector{0.0, 2.0}, Vector{3.0, 2.0},
                                                  Vector{1.0, 3.0}, 2, 1, residual),
                         input("parameter 1 is fixed by equal bounds")));
  EXPECT_TRUE(points.empty());
}

TEST(FiniteDifference, ShiftedResidualsAreChecked) {
  std::size_t calls = 0;
  const auto shrinking = [&](std::span<const double> x) -> FitResult<Vector> {
    return ++calls == 1 ? Vector{x[0], x[0]} : Vector{x[0]};
  };
  EXPECT_TRUE(fails_with(finite_difference_jacobian(Vector{1.0}, Vector{-inf}, Vector{inf}, Vector{1.0, 1.0},
                                                    2, std::nullopt, shrinking),
                         invalid_vector));
}

// g = 1, P = 3, L = 1: one column for the global parameter (two
// evaluations) and one pair for all latent coordinates; column 1 + p holds
// entries only in rows p and 3 + p.
TEST(FiniteDifference, StructuredJacobianMovesEveryPointAtOnce) {
  const ErrorsInVariablesLine line{{0.0, 1.0, 2.0}, {1.0, 2.5, 5.0}, 0.5, 0.25};
  std::size_t calls = 0;
  const auto counted = [&](std::span<const double> p) {
    ++calls;
    Vector full{0.5, p[0]};
    full.insert(full.end(), p.begin() + 1, p.end());
    return line(full);
  };
  const Vector x{2.0, 0.1, 1.2, 1.9};
  const Vector lower(4, -inf), upper(4, inf);
  const auto base = counted(x);
  calls = 0;
  const StructuredLayout layout{1, 3, 1};
  const auto dense = finite_difference_for_layout(x, lower, upper, *base, 6, layout, counted);
  ASSERT_TRUE(dense.has_value()) << dense.error();
  EXPECT_EQ(calls, 4u);
  for (std::size_t i = 0; i < 6; ++i) {
    for (std::size_t p = 0; p < 3; ++p) {
      const double entry = (*dense)[i * 4 + 1 + p];
      // ∂r_p/∂ξ_p = −b/σ_y, ∂r_{3+p}/∂ξ_p = −1/σ_x.
      if (i == p) {
        EXPECT_TRUE(relatively_near(entry, -2.0 / 0.25, 1e-7));
      } else if (i == 3 + p) {
        EXPECT_TRUE(relatively_near(entry, -1.0 / 0.5, 1e-7));
      } else {
        EXPECT_EQ(entry, 0.0) << i << "," << p;
      }
    }
  }
}

// The block form and the dense form of one structured problem give the same
// bits in the Jacobian, the normal equations, the damped step, the row
// scaling and the covariance.
template <class Residual>
void expect_blocks_match_dense(Residual& residual, const Vector& x, const Vector& lower, const Vector& upper,
                               const StructuredLayout& layout) {
  const auto sizes = layout_sizes(layout);
  const std::size_t m = sizes->residual_count, n = sizes->parameter_count;
  const auto base = residual(x);
  const auto blocks = finite_difference_jacobian(x, lower, upper, *base, m, layout, residual);
  const auto dense = finite_difference_for_layout(x, lower, upper, *base, m, layout, residual);
  ASSERT_TRUE(blocks.has_value() && dense.has_value());
  EXPECT_TRUE(bit_identical(blocks->to_dense(), *dense));

  const Vector weights = robust_weights(*base, Loss::SoftL1, 0.7);
  const NormalEquations from_blocks = normal_equations_for_layout(*blocks, *base, weights);
  const NormalEquations from_dense = normal_equations_for_layout(*dense, *base, weights, m, n, layout);
  const auto& a = std::get<StructuredNormalSystem>(from_blocks.system);
  const auto& b = std::get<StructuredNormalSystem>(from_dense.system);
  EXPECT_TRUE(bit_identical(from_blocks.gradient, from_dense.gradient));
  EXPECT_TRUE(bit_identical(a.global_block, b.global_block));
  EXPECT_TRUE(bit_identical(a.coupling_blocks, b.coupling_blocks));
  EXPECT_TRUE(bit_identical(a.latent_blocks, b.latent_blocks));
  const auto step_blocks = solve_normal_step(from_blocks.system, from_blocks.gradient, 0.01);
  const auto step_dense = solve_normal_step(from_dense.system, from_dense.gradient, 0.01);
  ASSERT_TRUE(step_blocks.has_value() && step_dense.has_value());
  EXPECT_TRUE(bit_identical(*step_blocks, *step_dense));

  Jacobian scaled = *blocks;
  scaled.scale_rows(robust_row_factors(*base, Loss::SoftL1, 0.7));
  const Vector scaled_dense = robust_result_jacobian(*dense, *base, n, Loss::SoftL1, 0.7);
  EXPECT_TRUE(bit_identical(scaled.to_dense(), scaled_dense));
  for (std::size_t i = 0; i < m; ++i) {
    for (std::size_t j = 0; j < n; ++j) ASSERT_EQ(scaled.at(i, j), scaled_dense[i * n + j]) << i << "," << j;
  }
  const auto covariance_blocks = parameter_covariance_structured(scaled, layout);
  const auto covariance_dense = parameter_covariance_structured(scaled_dense, layout);
  ASSERT_TRUE(covariance_blocks.has_value() && covariance_dense.has_value());
  EXPECT_TRUE(bit_identical(*covariance_blocks, *covariance_dense));
}

TEST(StructuredBlocks, BitIdenticalToTheDenseForm) {
  const ErrorsInVariablesLine line = scattered_line(7, 0.2, 0.3);
  Vector x{1.0, 0.7};
  for (const double xi : line.x) x.push_back(xi + 0.05);
  Vector lower(x.size(), -inf), upper(x.size(), inf);
  upper[4] = x[4];  // one point at its upper bound: backward difference
  lower[5] = x[5];  // and one at its lower bound: forward
  expect_blocks_match_dense(line, x, lower, upper, StructuredLayout{2, 7, 1});

  // Two latent coordinates per point: z = a + b·ξ + c·τ² with errors in x and t.
  const std::size_t points = 5;
  const auto plane = [&](std::span<const double> p) -> FitResult<Vector> {
    Vector r(3 * points);
    for (std::size_t i = 0; i < points; ++i) {
      const double xi = p[3 + i], tau = p[3 + points + i];
      r[i] = (scatter(i) - p[0] - p[1] * xi - p[2] * tau * tau) / 0.1;
      r[points + i] = (static_cast<double>(i) - xi) / 0.2;
      r[2 * points + i] = (0.5 * static_cast<double>(i) - tau) / 0.3;
    }
    return r;
  };
  Vector y{0.1, 0.2, -0.3};
  for (std::size_t i = 0; i < points; ++i) y.push_back(static_cast<double>(i) + 0.1 * scatter(i + 9));
  for (std::size_t i = 0; i < points; ++i) y.push_back(0.5 * static_cast<double>(i) + 0.1 * scatter(i + 19));
  expect_blocks_match_dense(plane, y, Vector(y.size(), -inf), Vector(y.size(), inf),
                            StructuredLayout{3, 5, 2});
}

// Weighted sums by hand: J = [[1, 2], [3, −1], [0, 4]], w = (1, 0.5, 2), r = (1, −2, 0.5).
TEST(NormalEquations, DenseSumsAndDamping) {
  const Vector jacobian{1, 2, 3, -1, 0, 4};
  const NormalEquations normal =
      normal_equations_for_layout(jacobian, Vector{1, -2, 0.5}, Vector{1, 0.5, 2}, 3, 2, std::nullopt);
  // A = Σ w_i J_iᵀJ_i, G = Σ w_i r_i J_iᵀ.
  EXPECT_EQ(std::get<DenseNormalSystem>(normal.system).matrix, (Vector{5.5, 0.5, 0.5, 36.5}));
  EXPECT_EQ(normal.gradient, (Vector{-2.0, 7.0}));

  // diag(0, −2, 4) with λ = 0.5 becomes diag(0.5, −1, 6): a zero diagonal
  // gains λ, the others λ·|d|.
  const NormalSystem diagonal = DenseNormalSystem{{0, 0, 0, 0, -2, 0, 0, 0, 4}, 3};
  const auto step = solve_normal_step(diagonal, Vector{1, 1, 1}, 0.5);
  ASSERT_TRUE(step.has_value());
  EXPECT_TRUE(all_near(*step, Vector{-2.0, 1.0, -1.0 / 6.0}, 1e-15));
}

// The Schur elimination of the structured step equals the dense solve of
// the full damped system when the cross-point latent entries are zero.
TEST(NormalEquations, StructuredStepEqualsDenseStep) {
  const StructuredLayout layout{2, 4, 2};
  const std::size_t m = 12, n = 10;
  Vector jacobian(m * n, 0.0);
  for (std::size_t i = 0; i < m; ++i) {
    const std::size_t p = i % 4;
    jacobian[i * n + 0] = 1.0 + 0.1 * static_cast<double>(i);
    jacobian[i * n + 1] = scatter(i);
    for (std::size_t l = 0; l < 2; ++l)
      jacobian[i * n + 2 + l * 4 + p] = 1.5 * scatter(3 * i + l + 7) + (i / 4 == l + 1);
  }
  Vector residuals(m), weights(m);
  for (std::size_t i = 0; i < m; ++i) {
    residuals[i] = scatter(i + 50);
    weights[i] = 0.5 + 0.5 * std::fabs(scatter(i + 90));
  }
  const NormalEquations structured = normal_equations_for_layout(jacobian, residuals, weights, m, n, layout);
  const NormalEquations dense = normal_equations_for_layout(jacobian, residuals, weights, m, n, std::nullopt);
  EXPECT_TRUE(all_near(structured.gradient, dense.gradient, 1e-14, 1.0));
  for (const double lambda : {1e-3, 0.3, 10.0}) {
    const auto a = solve_normal_step(structured.system, structured.gradient, lambda);
    const auto b = solve_normal_step(dense.system, dense.gradient, lambda);
    ASSERT_TRUE(a.has_value() && b.has_value());
    EXPECT_TRUE(all_near(*a, *b, 1e-10, 1.0)) << lambda;
  }
}

TEST(ScaledLinearSolve, SolvesScaledAndRefusesSingular) {
  EXPECT_EQ(solve_scaled_linear_system(Vector{}, Vector{}, 0).value(), Vector{});
  EXPECT_EQ(solve_scaled_linear_system(Vector{4.0}, Vector{2.0}, 1).value(), Vector{0.5});
  EXPECT_EQ(solve_scaled_linear_system(Vector{0, 1, 1, 0}, Vector{3, 5}, 2).value(), (Vector{5.0, 3.0}));
  // D·[[2, 1], [1, 2]]·D with D = diag(1e10, 1e-10): well conditioned once scaled.
  const auto wide = solve_scaled_linear_system(Vector{2e20, 1.0, 1.0, 2e-20}, Vector{4e10, -1e-10}, 2);
  ASSERT_TRUE(wide.has_value());
  EXPECT_TRUE(all_near(*wide, Vector{3e-10, -2e10}, 1e-14));
  for (const std::size_t n : {1u, 2u, 5u}) {
    EXPECT_TRUE(fails_with(solve_scaled_linear_system(Vector(n * n, 0.0), Vector(n, 1.0), n),
                           FitError::singular_system()));
  }
  EXPECT_TRUE(fails_with(solve_scaled_linear_system(Vector{1, 0, 0, 0}, Vector{1, 1}, 2),
                         FitError::singular_system()));
  EXPECT_TRUE(fails_with(solve_scaled_linear_system(Vector{1, 0, 0}, Vector{1, 1}, 2),
                         input("invalid scaled linear system dimensions")));
  EXPECT_TRUE(fails_with(solve_linear_system(Vector{1, 0, 0, 1}, Vector{1}, 2),
                         input("invalid linear system dimensions")));
  // A 3×3 system against its solution by Cramer's rule: det = 18.
  const auto x = solve_scaled_linear_system(Vector{2, 1, 1, 1, 3, 2, 1, 0, 0}, Vector{4, 5, 6}, 3);
  ASSERT_TRUE(x.has_value());
  EXPECT_TRUE(all_near(*x, Vector{6.0, 15.0, -23.0}, 1e-13));
}

TEST(SymmetricPseudoinverse, DropsNullDirectionsAndRefusesIndefinite) {
  EXPECT_EQ(symmetric_pseudoinverse(Vector{4, 0, 0, 0}, 2, 2).value(), (Vector{0.25, 0, 0, 0}));
  EXPECT_TRUE(relatively_near(symmetric_pseudoinverse(Vector{3.0}, 1, 1).value()[0], 1.0 / 3.0, 1e-15));
  EXPECT_EQ(symmetric_pseudoinverse(Vector{0.0}, 1, 1).value(), Vector{0.0});
  // [[2, 1, 0], [1, 2, 1], [0, 1, 2]]⁻¹ = [[3, −2, 1], [−2, 4, −2], [1, −2, 3]]/4.
  const auto inverse = symmetric_pseudoinverse(Vector{2, 1, 0, 1, 2, 1, 0, 1, 2}, 3, 3);
  ASSERT_TRUE(inverse.has_value());
  EXPECT_TRUE(all_near(*inverse, Vector{0.75, -0.5, 0.25, -0.5, 1.0, -0.5, 0.25, -0.5, 0.75}, 1e-13, 1.0));
  // [[1, 1], [1, 1]]⁺ = [[1, 1], [1, 1]]/4.
  EXPECT_TRUE(all_near(symmetric_pseudoinverse(Vector{1, 1, 1, 1}, 2, 2).value(),
                       Vector{0.25, 0.25, 0.25, 0.25}, 1e-14));
  EXPECT_TRUE(fails_with(symmetric_pseudoinverse(Vector{1, 2, 2, 1}, 2, 2),
                         input("information matrix must be positive semidefinite")));
  const FitError invalid = input("invalid symmetric matrix for pseudoinverse");
  EXPECT_TRUE(fails_with(symmetric_pseudoinverse(Vector{}, 0, 1), invalid));
  EXPECT_TRUE(fails_with(symmetric_pseudoinverse(Vector{1, 0, 0}, 2, 2), invalid));
  EXPECT_TRUE(fails_with(symmetric_pseudoinverse(Vector{1, 0, 0, nan}, 2, 2), invalid));
}

// Parameters in units 1e8 and 1e-9 apart: A' = D·A·D has the pseudo-inverse
// D⁻¹·A⁺·D⁻¹, with every variance kept.
TEST(SymmetricPseudoinverse, UnitsDoNotDropAVariance) {
  const double d0 = 1e8, d1 = 1e-9;
  const Vector scaled{4 * d0 * d0, d0 * d1, d0 * d1, 3 * d1 * d1};
  const auto inverse = symmetric_pseudoinverse(scaled, 2, 2);
  ASSERT_TRUE(inverse.has_value());
  // A⁻¹ = [[3, −1], [−1, 4]]/11.
  const Vector expected{3.0 / 11 / (d0 * d0), -1.0 / 11 / (d0 * d1), -1.0 / 11 / (d0 * d1),
                        4.0 / 11 / (d1 * d1)};
  EXPECT_TRUE(all_near(*inverse, expected, 1e-12));
}

TEST(ParameterCovariance, DenseLeadingAndTrailing) {
  // A zero column gets zero variance when it is kept, a singular trailing
  // block when it is profiled out.
  EXPECT_TRUE(
      all_near(parameter_covariance(Vector{1, 0, 2, 0}, 2, 2, 2).value(), Vector{0.2, 0, 0, 0}, 1e-15));
  EXPECT_TRUE(fails_with(parameter_covariance(Vector{1, 0, 2, 0}, 2, 2, 1), FitError::singular_system()));
  // Trailing column orthogonal to the leading ones: the leading block alone.
  // Columns (1, 1, 0), (0, 0, 2) and (1, −1, 0), the last orthogonal to both.
  const Vector orthogonal{1, 0, 1, 1, 0, -1, 0, 2, 0};
  const auto profiled = parameter_covariance(orthogonal, 3, 3, 2);
  ASSERT_TRUE(profiled.has_value());
  // Leading information diag(2, 4).
  EXPECT_TRUE(all_near(*profiled, Vector{0.5, 0, 0, 0.25}, 1e-14, 1.0));
  const FitError sizes = input("invalid Jacobian dimensions for covariance");
  EXPECT_TRUE(fails_with(parameter_covariance(Vector{1, 2, 3}, 2, 2, 2), sizes));
  EXPECT_TRUE(fails_with(parameter_covariance(Vector{}, 0, 2, 2), sizes));
  EXPECT_TRUE(fails_with(parameter_covariance(Vector{1, 2}, 1, 2, 0), sizes));
  EXPECT_TRUE(fails_with(parameter_covariance(Vector{1, 2}, 1, 2, 3), sizes));
  const FitError structured_sizes = input("invalid structured Jacobian dimensions for covariance");
  EXPECT_TRUE(fails_with(parameter_covariance_structured(Vector(6, 1.0), StructuredLayout{0, 3, 1}),
                         structured_sizes));
  EXPECT_TRUE(fails_with(parameter_covariance_structured(Vector(7, 1.0), StructuredLayout{1, 2, 1}),
                         structured_sizes));
  EXPECT_TRUE(fails_with(
      parameter_covariance_structured(Vector(4, 1.0), StructuredLayout{1, std::size_t{1} << 63, 2}),
      structured_sizes));
}

}  // namespace
}  // namespace nivaltus::fit
