#pragma once
// The result of an EOS fit: the fitted model parameters with their
// covariance, standard errors and correlation, the volumes (and temperatures)
// at which the fitted model was evaluated, its predicted pressures, the
// engine's result whole, and the goodness-of-fit statistics.
//
// The covariance is the pseudo-inverse of JᵀJ of the reported (loss-scaled)
// Jacobian, the latent coordinates profiled out. It is not multiplied by the
// reduced chi-square: with weighted or whitened residuals it is the
// covariance implied by the stated uncertainties.

#include <cstddef>
#include <optional>
#include <vector>

#include "core/fit/eos/fit_statistics.hpp"
#include "core/fit/fit_error.hpp"
#include "core/fit/solver_types.hpp"

namespace nivaltus::fit::eos {

// k model parameters, n points, m residuals, p = k + n·L optimised variables.
struct EosFitResult {
  std::vector<double> parameters;            // x[0, k)
  std::vector<double> parameter_covariance;  // k x k, row-major
  std::vector<double> standard_errors;       // k
  std::vector<double> correlation;           // k x k, row-major
  // The fitted latent volumes, or the observed ones when volumes are not
  // latent.
  std::vector<double> fitted_volumes;
  std::vector<double> predicted_pressures;  // n
  SolverResult solver;
  // Pressure-volume-temperature fits only: the fitted latent temperatures,
  // or the observed ones when temperatures are not latent.
  std::optional<std::vector<double>> fitted_temperatures;
  double chi_square = 0.0;
  // m - p; 0 when m < p.
  std::size_t degrees_of_freedom = 0;
  // Present only when m > p.
  std::optional<double> reduced_chi_square;
  double aic = 0.0;
  double bic = 0.0;
};

// The result of a solved fit with k model parameters, n points and
// latent_count latent coordinates per point: the covariance from the
// solver's reported Jacobian (structured with layout {k, n, latent_count}
// when latent_count > 0, else dense with the leading k of its columns), then
// the standard errors and correlation, then the statistics of its residuals.
// The first failure is returned: the covariance's own, or a statistics
// limit.
FitResult<EosFitResult> interpret_result(SolverResult solver, std::vector<double> predicted_pressures,
                                         std::vector<double> fitted_volumes,
                                         std::optional<std::vector<double>> fitted_temperatures,
                                         std::size_t k, std::size_t n, std::size_t latent_count);

}  // namespace nivaltus::fit::eos
