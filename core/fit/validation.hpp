#pragma once
// Checks of a problem before a run and of every residual vector, and the two
// norms that the engine's stopping tests use.

#include <cstddef>
#include <optional>
#include <span>

#include "core/fit/fit_error.hpp"
#include "core/fit/solver_types.hpp"

namespace nivaltus::fit {

// Checks, in order, each failing with InvalidInput:
//  1. lower and upper have the non-zero length of initial;
//  2. per index from 0: initial finite, bounds not NaN, lower ≤ initial ≤
//     upper, lower < upper ("invalid initial value or bounds at parameter {}");
//  3. f_scale positive and finite, then f_scale² a normal finite double (a
//     subnormal, zero or infinite C² makes every loss argument meaningless);
//  4. max_nfev, when present, not zero;
//  5. ftol, gtol, xtol positive and finite.
FitResult<void> validate_problem(std::span<const double> initial, std::span<const double> lower,
                                 std::span<const double> upper, const SolverOptions& options);

// A residual vector is usable when it is non-empty, of the expected length
// when one is given, and finite; else EvaluationFailed "residual evaluation
// returned an invalid vector".
FitResult<void> validate_residuals(std::span<const double> residuals,
                                   std::optional<std::size_t> expected = std::nullopt);

// √Σ ((a_i − b_i) / max(|b_i|, 1))² over the common indices: the size of the
// step from b to a relative to b. A NaN b_i divides by 1.
double scaled_norm_difference(std::span<const double> a, std::span<const double> b);

// √Σ (x_i / max(|x_i|, 1))²: x measured on the scale of a step from x, the
// size the xtol test compares steps with.
double scaled_norm(std::span<const double> x);

// Whether the descent direction −g_i of a parameter points out of its box:
// g_i > 0 at x_i ≤ lower_i or g_i < 0 at x_i ≥ upper_i (never for a NaN g_i).
inline bool blocked_by_bound(double g, double x, double lower, double upper) {
  return (g > 0.0 && x <= lower) || (g < 0.0 && x >= upper);
}

// Largest |g_i| over the components whose descent step is not blocked by a
// bound (blocked ones count 0); NaN components skipped; 0 for an empty
// gradient.
double projected_gradient_norm(std::span<const double> gradient, std::span<const double> x,
                               std::span<const double> lower, std::span<const double> upper);

}  // namespace nivaltus::fit
