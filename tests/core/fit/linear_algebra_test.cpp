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

// Steps of h = 2^-26·max(|x|, 1) to both sides, one-sided at a bound, shorter
// where the room is; r = (x², 3x) records where it is evaluated.
TEST(FiniteDifference, StepsFollowTheBounds) {
  const struct {
    double x, lower, upper;
    double forward, backward;  // expected shifts; 0 where that side is not evaluated
  } cases[] = {
      {0.0, -inf, inf, h0, h0},
      {2.0, 0.0, 2.0, 0.0, 2.0 * h0},
      {-3.0, -3.0, 5.0, 3.0 * h0, 0.0},
      {1.0, 0.0, 1.0 + 0.25 * h0, 0.25 * h0, h0},
  };
  Vector points;
  const auto record = [&points](std::span<const double> x) -> FitResult<Vector> {
    points.push_back(x[0]);
    return Vector{x[0] * x[0], 3.0 * x[0]};
  };
  for (const auto& c : cases) {
    points.clear();
    const auto column = finite_difference_column(Vector{c.x}, Vector{c.lower}, Vector{c.upper},
                                                 Vector{c.x * c.x, 3.0 * c.x}, 2, 0, record);
    ASSERT_TRUE(column.has_value()) << column.error();
    Vector expected_points;
    if (c.forward > 0.0) expected_points.push_back(c.x + c.forward);
    if (c.backward > 0.0) expected_points.push_back(c.x - c.backward);
    EXPECT_EQ(points, expected_points) << c.x;
    EXPECT_EQ(column->step, c.forward + c.backward) << c.x;
    EXPECT_TRUE(relatively_near(column->difference[1] / column->step, 3.0, 1e-6)) << c.x;
  }
}

// Moving all points at once gives the column-by-column Jacobian; block and
// dense forms give the same bits in the normal equations, step, row scaling
// and covariance; the Schur step equals the dense solve of the full system.
template <class Residual>
void expect_blocks_match_dense(Residual& residual, const Vector& x, const Vector& lower, const Vector& upper,
                               const StructuredLayout& layout) {
  const std::size_t m = layout_sizes(layout)->residual_count, n = layout_sizes(layout)->parameter_count;
  const auto base = residual(x);
  const auto blocks = finite_difference_jacobian(x, lower, upper, *base, m, layout, residual);
  const auto dense = finite_difference_for_layout(x, lower, upper, *base, m, layout, residual);
  const auto columns = finite_difference_jacobian(x, lower, upper, *base, m, std::nullopt, residual);
  ASSERT_TRUE(blocks.has_value() && dense.has_value() && columns.has_value());
  EXPECT_TRUE(all_near(*dense, columns->to_dense(), 1e-9, 1.0));

  const Vector weights = robust_weights(*base, Loss::SoftL1, 0.7);
  const NormalEquations from_blocks = normal_equations_for_layout(*blocks, *base, weights);
  const NormalEquations from_dense = normal_equations_for_layout(*dense, *base, weights, m, n, layout);
  const auto& a = std::get<StructuredNormalSystem>(from_blocks.system);
  const auto& b = std::get<StructuredNormalSystem>(from_dense.system);
  EXPECT_TRUE(bit_identical(from_blocks.gradient, from_dense.gradient));
  EXPECT_TRUE(bit_identical(a.global_block, b.global_block));
  EXPECT_TRUE(bit_identical(a.coupling_blocks, b.coupling_blocks));
  EXPECT_TRUE(bit_identical(a.latent_blocks, b.latent_blocks));
  const NormalEquations full = normal_equations_for_layout(*dense, *base, weights, m, n, std::nullopt);
  for (const double lambda : {1e-3, 10.0}) {
    const auto step_blocks = solve_normal_step(from_blocks.system, from_blocks.gradient, lambda);
    const auto step_dense = solve_normal_step(from_dense.system, from_dense.gradient, lambda);
    const auto step_full = solve_normal_step(full.system, full.gradient, lambda);
    ASSERT_TRUE(step_blocks.has_value() && step_dense.has_value() && step_full.has_value());
    EXPECT_TRUE(bit_identical(*step_blocks, *step_dense));
    EXPECT_TRUE(all_near(*step_blocks, *step_full, 1e-10, 1.0)) << lambda;
  }

  Jacobian scaled = *blocks;
  scaled.scale_rows(robust_row_factors(*base, Loss::SoftL1, 0.7));
  const Vector scaled_dense = robust_result_jacobian(*dense, *base, n, Loss::SoftL1, 0.7);
  EXPECT_TRUE(bit_identical(scaled.to_dense(), scaled_dense));
  const auto covariance_blocks = parameter_covariance_structured(scaled, layout);
  const auto covariance_dense = parameter_covariance_structured(scaled_dense, layout);
  ASSERT_TRUE(covariance_blocks.has_value() && covariance_dense.has_value());
  EXPECT_TRUE(bit_identical(*covariance_blocks, *covariance_dense));
}

// z = a + b·ξ + c·τ² with errors in x and t: two latent coordinates per
// point, one at its upper bound (backward difference), one at its lower.
TEST(StructuredBlocks, BitIdenticalToTheDenseForm) {
  const std::size_t points = 5;
  const auto plane = [&](std::span<const double> p) -> FitResult<Vector> {
    Vector r(3 * points);
    for (std::size_t i = 0; i < points; ++i) {
      const double xi = p[3 + i], tau = p[3 + points + i], t = static_cast<double>(i);
      r[i] = (scatter(i) - p[0] - p[1] * xi - p[2] * tau * tau) / 0.1;
      r[points + i] = (t - xi) / 0.2;
      r[2 * points + i] = (0.5 * t - tau) / 0.3;
    }
    return r;
  };
  Vector y{0.1, 0.2, -0.3};
  for (std::size_t i = 0; i < points; ++i) y.push_back(static_cast<double>(i) + 0.1 * scatter(i + 9));
  for (std::size_t i = 0; i < points; ++i) y.push_back(0.5 * static_cast<double>(i) + 0.1 * scatter(i + 19));
  Vector lower(y.size(), -inf), upper(y.size(), inf);
  upper[4] = y[4];
  lower[10] = y[10];
  expect_blocks_match_dense(plane, y, lower, upper, StructuredLayout{3, 5, 2});
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

// Row exchanges; D·[[2, 1], [1, 2]]·D with D = diag(1e10, 1e-10), well
// conditioned once scaled; Cramer's rule (det = 18). The pseudo-inverse of
// D·[[4, 1], [1, 3]]·D with D = diag(1e8, 1e-9) is D⁻¹·[[3, −1], [−1, 4]]·D⁻¹/11,
// every variance kept; a singular and an indefinite matrix are refused.
TEST(DenseSolves, ScaledLinearSystemAndPseudoinverse) {
  const struct {
    Vector matrix, rhs, expected;
  } cases[] = {
      {{0, 1, 1, 0}, {3, 5}, {5.0, 3.0}},
      {{2e20, 1.0, 1.0, 2e-20}, {4e10, -1e-10}, {3e-10, -2e10}},
      {{2, 1, 1, 1, 3, 2, 1, 0, 0}, {4, 5, 6}, {6.0, 15.0, -23.0}},
  };
  for (const auto& c : cases) {
    const auto x = solve_scaled_linear_system(c.matrix, c.rhs, c.rhs.size());
    ASSERT_TRUE(x.has_value()) << x.error();
    EXPECT_TRUE(all_near(*x, c.expected, 1e-13));
  }
  EXPECT_TRUE(fails_with(solve_scaled_linear_system(Vector{1, 0, 0, 0}, Vector{1, 1}, 2),
                         FitError::singular_system()));
  // The elimination alone checks its sizes too.
  for (const auto& [matrix, rhs] :
       {std::pair{Vector{1, 0, 0, 1}, Vector{1}}, {Vector{1, 0, 0}, Vector{1, 1}}}) {
    EXPECT_TRUE(fails_with(solve_linear_system(matrix, rhs, 2), input("invalid linear system dimensions")));
  }
  const auto inverse = symmetric_pseudoinverse(Vector{4e16, 0.1, 0.1, 3e-18}, 2, 2);
  ASSERT_TRUE(inverse.has_value()) << inverse.error();
  EXPECT_TRUE(all_near(*inverse, Vector{3.0 / 11e16, -1.0 / 11e-1, -1.0 / 11e-1, 4.0 / 11e-18}, 1e-12));
  EXPECT_TRUE(fails_with(symmetric_pseudoinverse(Vector{1, 2, 2, 1}, 2, 2),
                         input("information matrix must be positive semidefinite")));
}

TEST(ParameterCovariance, DenseEdgesAndConditionByHand) {
  // J = [[1, 1], [0, δ]] (condition 2/δ, squared beyond JᵀJ in doubles):
  // C = J⁻¹·J⁻ᵀ = [[1 + δ⁻², −δ⁻²], [−δ⁻², δ⁻²]]. With a coupled trailing
  // column (1, 0, 1), C is the leading 2×2 of J⁻¹·J⁻ᵀ, J⁻¹ rows (1, −1/δ, −1),
  // (0, 1/δ, 0), (0, 0, 1).
  constexpr double delta = 1e-9;
  constexpr double v = 1.0 / (delta * delta);
  const Vector ill_conditioned{1 + v, -v, -v, v}, ill_conditioned_profiled{2 + v, -v, -v, v};
  const struct {
    const char* name;
    Vector jacobian;
    std::size_t m, n, k;
    Vector expected;  // empty: the trailing block is singular
    double tolerance;
  } cases[] = {
      // A parameter that the data do not touch: exactly zero variance and
      // covariances when kept, a singular trailing block when profiled out.
      {"zero column kept", {1, 0, 2, 0}, 2, 2, 2, {0.2, 0, 0, 0}, 1e-15},
      {"zero column profiled out", {1, 0, 2, 0}, 2, 2, 1, {}, 0},
      // Columns (1, 1, 0), (0, 0, 2) and (1, −1, 0), the last orthogonal to
      // both: the leading information diag(2, 4) alone.
      {"orthogonal trailing", {1, 0, 1, 1, 0, -1, 0, 2, 0}, 3, 3, 2, {0.5, 0, 0, 0.25}, 1e-14},
      {"more trailing columns than rows", {1, 2, 3}, 1, 3, 1, {}, 0},
      // One row: the null direction is dropped in equilibrated units, Ĵ = (1, 1),
      // (ĴᵀĴ)⁺ = [[1, 1], [1, 1]]/4, D = diag(1, 1/2).
      {"rank one", {1, 2}, 1, 2, 2, {0.25, 0.125, 0.125, 0.0625}, 1e-15},
      {"condition 2e9", {1, 1, 0, delta}, 2, 2, 2, ill_conditioned, 1e-6},
      {"condition 2e9, profiled", {1, 1, 1, 0, delta, 0, 0, 0, 1}, 3, 3, 2, ill_conditioned_profiled, 1e-6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto covariance = parameter_covariance(c.jacobian, c.m, c.n, c.k);
    if (c.expected.empty()) {
      EXPECT_TRUE(fails_with(covariance, FitError::singular_system()));
      continue;
    }
    ASSERT_TRUE(covariance.has_value()) << covariance.error();
    EXPECT_TRUE(all_near(*covariance, c.expected, c.tolerance));
  }
}

}  // namespace
}  // namespace nivaltus::fit
