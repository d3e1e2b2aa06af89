#pragma once
// First-order propagation of a parameter covariance through a Jacobian, and
// the summary of Monte Carlo samples.

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "core/fit/fit_error.hpp"

namespace nivaltus::fit {

// variance: m values; covariance: m×m row-major, present when asked for.
struct PropagatedUncertainty {
  std::vector<double> variance;
  std::optional<std::vector<double>> covariance;
};

// Per column: sample standard deviation (divisor rows − 1) as the standard
// error, the percentile bounds, and the cols×cols sample covariance when
// asked for.
struct MonteCarloStatistics {
  std::vector<double> standard_error;
  std::vector<double> lower;
  std::vector<double> upper;
  std::optional<std::vector<double>> covariance;
};

// Tolerant Cholesky factor L (n×n, lower triangular) of a symmetric positive
// semidefinite C, τ = 1e-12·max(1, max|c_ij|). InvalidInput "parameter
// covariance must be symmetric" or "parameter covariance must be positive
// semidefinite".
FitResult<std::vector<double>> positive_semidefinite_factor(std::span<const double> covariance,
                                                            std::size_t n);

// variance_i = max((J·C·Jᵀ)_ii + s_i, 0); with full_covariance also
// J·C·Jᵀ + diag(s), its diagonal not clamped. Products that overflow although
// the entry they sum to does not are evaluated on operands scaled by powers of
// two; an entry whose true value exceeds the largest double is
// Eos(NonFiniteResult).
FitResult<PropagatedUncertainty> propagate_linear_uncertainty(std::span<const double> jacobian, std::size_t m,
                                                              std::size_t n,
                                                              std::span<const double> covariance,
                                                              std::span<const double> state_variances,
                                                              bool full_covariance);

// Bounds at the fractions (1 − confidence)/2 and 1 − (1 − confidence)/2 by
// linear interpolation between order statistics at q·(rows − 1), never the
// lower above the upper. InvalidInput "invalid Monte Carlo samples or
// confidence"; Eos(NonFiniteResult) when a standard error or covariance
// exceeds the largest double.
FitResult<MonteCarloStatistics> summarize_monte_carlo(std::span<const double> samples, std::size_t rows,
                                                      std::size_t cols, bool full_covariance,
                                                      double confidence);

}  // namespace nivaltus::fit
