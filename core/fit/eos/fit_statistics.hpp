#pragma once
// Goodness of fit of a least-squares solution, from its residual vector r
// (m values, weighted or whitened as the fit defines them, before any robust
// loss) and the number p of optimised variables:
//   χ² = Σ r_i²,  dof = m - p,  χ²_red = χ² / (m - p) when m > p,
//   q = m ln(max(χ²/m, DBL_MIN)),  AIC = q + 2p,  BIC = q + p ln(m).
// The floor keeps q finite for a perfect fit. Both criteria count every
// optimised variable, latent coordinates included.

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "core/fit/fit_error.hpp"

namespace nivaltus::fit::eos {

struct FitStatistics {
  double chi_square;
  // m - p; 0 when there are fewer residuals than variables.
  std::size_t degrees_of_freedom;
  std::optional<double> reduced_chi_square;
  double aic;
  double bic;
};

// m and p above 4294967295 are refused ("residual count exceeds the
// statistics limit", then "variable count exceeds the statistics limit"), so
// both are exact as doubles.
FitResult<FitStatistics> fit_statistics(std::span<const double> residuals, std::size_t variable_count);

// Standard errors se_i = √max(C_ii, 0) (a NaN diagonal gives 0) and the
// correlation C_ij / (se_i se_j) wherever se_i se_j > 0, else 0, of a k x k
// row-major covariance C.
struct ParameterSpread {
  std::vector<double> standard_errors;
  std::vector<double> correlation;
};
ParameterSpread parameter_spread(std::span<const double> covariance, std::size_t k);

}  // namespace nivaltus::fit::eos
