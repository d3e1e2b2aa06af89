#pragma once
// Bisection of a bracketed root and the final residual test shared by the
// volume and temperature solvers.

#include <algorithm>
#include <cmath>

#include "core/error.hpp"

namespace nivaltus::root {

inline constexpr int max_bisection_iterations = 256;

// Bisects [lo, hi], where f_lo and f_hi are the residuals f - target at the
// ends. Returns the first evaluated midpoint whose residual is within f_tol of
// zero, or whose bracket half-width (before halving) is at most
// |mid| * 1e-14 + x_tol. BracketingFailed, without any evaluation, when the
// end residuals share a strict sign; ConvergenceFailed after 256 iterations.
// An error of f is returned unchanged.
template <class F>
EosResult<double> bisect_bracket(F&& f, double target, double lo, double f_lo, double hi, double f_hi,
                                 double x_tol, double f_tol) {
  if (f_lo * f_hi > 0.0) return std::unexpected(EosError::bracketing_failed());

  // The side of the root on which lo lies: the sign of f_lo, zero counting as
  // non-negative. When lo is itself an exact root that sign tells nothing, and
  // the root side is taken as opposite to f_hi, so the midpoints close in on lo
  // instead of walking away from it. A bracket built by the volume solver has
  // f_lo >= 0 and, when f_lo == 0, f_hi < 0: both rules then agree.
  const bool lo_non_negative = (f_lo == 0.0 && f_hi != 0.0) ? f_hi < 0.0 : f_lo >= 0.0;

  for (int iteration = 0; iteration < max_bisection_iterations; ++iteration) {
    const double half = (hi - lo) * 0.5;
    const double mid = lo + half;
    const EosResult<double> value = f(mid);
    if (!value) return std::unexpected(value.error());
    const double r = *value - target;
    if (std::abs(r) <= f_tol) return mid;
    if (std::abs(mid) * 1e-14 + x_tol >= half) return mid;
    if ((r >= 0.0) == lo_non_negative) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  return std::unexpected(EosError::convergence_failed());
}

// x when |f(x) - target| <= 1e-8 * max(|target|, 1), else ConvergenceFailed.
// f is evaluated afresh at x; an error of f is returned unchanged.
template <class F>
EosResult<double> check_residual(F&& f, double target, double x) {
  const EosResult<double> value = f(x);
  if (!value) return std::unexpected(value.error());
  if (std::abs(*value - target) > 1e-8 * std::max(std::abs(target), 1.0)) {
    return std::unexpected(EosError::convergence_failed());
  }
  return x;
}

}  // namespace nivaltus::root
