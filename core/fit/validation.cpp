#include "core/fit/validation.hpp"

#include <cmath>
#include <string>

namespace nivaltus::fit {

FitResult<void> validate_problem(std::span<const double> initial, std::span<const double> lower,
                                 std::span<const double> upper, const SolverOptions& options) {
  if (initial.empty() || lower.size() != initial.size() || upper.size() != initial.size()) {
    return fail_input("initial values and bounds must have the same non-zero length");
  }
  for (std::size_t i = 0; i < initial.size(); ++i) {
    const bool valid = std::isfinite(initial[i]) && !std::isnan(lower[i]) && !std::isnan(upper[i]) &&
                       lower[i] <= initial[i] && initial[i] <= upper[i] && lower[i] < upper[i];
    if (!valid) return fail_input("invalid initial value or bounds at parameter " + std::to_string(i));
  }
  if (!is_positive_finite(options.f_scale)) return fail_input("f_scale must be positive and finite");
  // The losses divide by C² = C·C: it must neither underflow nor overflow.
  if (!std::isnormal(options.f_scale * options.f_scale)) {
    return fail_input("f_scale squared must be a normal finite number");
  }
  if (options.max_nfev && *options.max_nfev == 0) return fail_input("max_evaluations must be positive");
  if (!is_positive_finite(options.ftol) || !is_positive_finite(options.gtol) ||
      !is_positive_finite(options.xtol)) {
    return fail_input("solver tolerances must be positive and finite");
  }
  return {};
}

FitResult<void> validate_residuals(std::span<const double> residuals, std::optional<std::size_t> expected) {
  bool valid = !residuals.empty() && (!expected || *expected == residuals.size());
  for (std::size_t i = 0; valid && i < residuals.size(); ++i) valid = std::isfinite(residuals[i]);
  if (!valid) return fail_evaluation("residual evaluation returned an invalid vector");
  return {};
}

double scaled_norm_difference(std::span<const double> a, std::span<const double> b) {
  const std::size_t count = std::min(a.size(), b.size());
  double sum = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    const double scale = std::isnan(b[i]) ? 1.0 : std::max(std::fabs(b[i]), 1.0);
    const double d = (a[i] - b[i]) / scale;
    sum += d * d;
  }
  return std::sqrt(sum);
}

double scaled_norm(std::span<const double> x) {
  double sum = 0.0;
  for (const double value : x) {
    const double d = value / std::max(std::fabs(value), 1.0);
    sum += d * d;
  }
  return std::sqrt(sum);
}

double projected_gradient_norm(std::span<const double> gradient, std::span<const double> x,
                               std::span<const double> lower, std::span<const double> upper) {
  double largest = 0.0;
  for (std::size_t i = 0; i < gradient.size(); ++i) {
    const double g = gradient[i];
    if (std::isnan(g)) continue;
    const double component = blocked_by_bound(g, x[i], lower[i], upper[i]) ? 0.0 : std::fabs(g);
    if (component > largest) largest = component;
  }
  return largest;
}

}  // namespace nivaltus::fit
