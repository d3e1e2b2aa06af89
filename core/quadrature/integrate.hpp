#pragma once
// Composite adaptive Simpson quadrature over a finite interval: 32 equal
// panels, each refined recursively until the Simpson estimates of its halves
// agree with the estimate of the whole.

#include <cmath>

#include "core/error.hpp"

namespace nivaltus::quadrature {

inline constexpr int panel_count = 32;
inline constexpr unsigned panel_depth = 24;

// Integrand evaluations allowed in one integral, the three of every panel
// included. An integrand that meets the tolerance everywhere needs a few
// hundred to a few thousand: at most about 2000 for the multi-oscillator
// Grueneisen integral over 0.3-2 V0 on each isothermal reference with MgO-like
// parameters, 2728 for t^3/(e^t - 1) over [0, 150]. One that never meets it,
// such as noise, would refine every panel to the full depth, 32 (2^26 + 1)
// evaluations; the budget ends it as ConvergenceFailed (for the Grueneisen
// integrand after about 4 ms).
inline constexpr unsigned evaluation_budget = 16384;

// f(x), charged to the integral's remaining budget: an evaluation beyond it is
// ConvergenceFailed without calling f, an error of f is returned unchanged and
// a value that is not finite is NonFiniteResult.
template <class F>
EosResult<double> budgeted_value(F& f, double x, unsigned& remaining) {
  if (remaining == 0) return std::unexpected(EosError::convergence_failed());
  --remaining;
  const EosResult<double> value = f(x);
  if (!value) return value;
  if (!is_finite(*value)) return std::unexpected(EosError::non_finite_result());
  return value;
}

// Refined integral over [a, b], given fa, fm, fb at a, at the midpoint
// a + (b - a) * 0.5 and at b, and S = (w * ((fa + 4 fm) + fb)) / 6 with
// w = b - a. Each call evaluates f twice (the quarter points). Accepts
// S_l + S_r + diff / 15 when 15 tol >= |diff| (a NaN diff never passes) or
// when depth is 0; otherwise refines the left half, then the right one, each
// with tol / 2. Every evaluation is charged to remaining.
template <class F>
EosResult<double> adaptive_simpson(F&& f, double a, double b, double fa, double fm, double fb, double s,
                                   double tol, unsigned depth, unsigned& remaining) {
  const double m = a + (b - a) * 0.5;
  const double wl = m - a;
  const double wr = b - m;

  const EosResult<double> left_value = budgeted_value(f, a + wl * 0.5, remaining);
  if (!left_value) return left_value;
  const double f_l = *left_value;
  const EosResult<double> right_value = budgeted_value(f, m + wr * 0.5, remaining);
  if (!right_value) return right_value;
  const double f_r = *right_value;

  const double s_l = (wl * ((fa + 4.0 * f_l) + fm)) / 6.0;
  const double s_r = (wr * ((fm + 4.0 * f_r) + fb)) / 6.0;
  const double diff = (s_l + s_r) - s;

  if (15.0 * tol >= std::abs(diff) || depth == 0) return finite_result((s_l + s_r) + diff / 15.0);

  const EosResult<double> left = adaptive_simpson(f, a, m, fa, f_l, fm, s_l, tol * 0.5, depth - 1, remaining);
  if (!left) return left;
  const EosResult<double> right =
      adaptive_simpson(f, m, b, fm, f_r, fb, s_r, tol * 0.5, depth - 1, remaining);
  if (!right) return right;
  return finite_result(*left + *right);
}

// Integral of f from a to b (negated for b < a, 0 for a == b without calling
// f). Bounds must be finite; a non-finite value of f, of a refined estimate or
// of the sum is NonFiniteResult; an error of f is returned unchanged, at once;
// f is called at most evaluation_budget times, and an integral that needs more
// is ConvergenceFailed.
template <class F>
EosResult<double> integrate(F&& f, double a, double b) {
  if (!is_finite(a) || !is_finite(b)) return fail_state("integration bounds", phrase::finite);
  if (a == b) return 0.0;
  if (b < a) {
    const EosResult<double> reversed = integrate(f, b, a);
    if (!reversed) return reversed;
    return -*reversed;
  }

  const double h = (b - a) * 0.03125;
  double sum = 0.0;
  unsigned remaining = evaluation_budget;
  for (int i = 0; i < panel_count; ++i) {
    // Each panel's left end is computed from a, not accumulated; the last
    // panel ends exactly at b.
    const double x0 = a + static_cast<double>(i) * h;
    const double x1 = i == panel_count - 1 ? b : x0 + h;
    const double w = x1 - x0;
    const double xm = x0 + w * 0.5;

    double values[3];
    const double points[3] = {x0, xm, x1};
    for (int k = 0; k < 3; ++k) {
      const EosResult<double> value = budgeted_value(f, points[k], remaining);
      if (!value) return value;
      values[k] = *value;
    }
    const double s = (w * ((values[0] + 4.0 * values[1]) + values[2])) / 6.0;
    const double tol = (1e-10 * std::abs(s) + 1e-10) * 0.03125;
    const EosResult<double> v =
        adaptive_simpson(f, x0, x1, values[0], values[1], values[2], s, tol, panel_depth, remaining);
    if (!v) return v;
    sum = sum + *v;
  }
  return finite_result(sum);
}

}  // namespace nivaltus::quadrature
