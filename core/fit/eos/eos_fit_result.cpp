#include "core/fit/eos/eos_fit_result.hpp"

#include <utility>

#include "core/fit/covariance.hpp"

namespace nivaltus::fit::eos {

FitResult<EosFitResult> interpret_result(SolverResult solver, std::vector<double> predicted_pressures,
                                         std::vector<double> fitted_volumes,
                                         std::optional<std::vector<double>> fitted_temperatures,
                                         std::size_t k, std::size_t n, std::size_t latent_count) {
  FitResult<std::vector<double>> covariance =
      latent_count > 0 ? parameter_covariance_structured(solver.jac, StructuredLayout{k, n, latent_count})
                       : parameter_covariance(solver.jac, k);
  if (!covariance) return std::unexpected(std::move(covariance).error());
  ParameterSpread spread = parameter_spread(*covariance, k);

  FitResult<FitStatistics> statistics = fit_statistics(solver.fun, solver.x.size());
  if (!statistics) return std::unexpected(std::move(statistics).error());

  EosFitResult result;
  result.parameters.assign(solver.x.begin(), solver.x.begin() + static_cast<std::ptrdiff_t>(k));
  result.parameter_covariance = std::move(*covariance);
  result.standard_errors = std::move(spread.standard_errors);
  result.correlation = std::move(spread.correlation);
  result.fitted_volumes = std::move(fitted_volumes);
  result.predicted_pressures = std::move(predicted_pressures);
  result.solver = std::move(solver);
  result.fitted_temperatures = std::move(fitted_temperatures);
  result.chi_square = statistics->chi_square;
  result.degrees_of_freedom = statistics->degrees_of_freedom;
  result.reduced_chi_square = statistics->reduced_chi_square;
  result.aic = statistics->aic;
  result.bic = statistics->bic;
  return result;
}

}  // namespace nivaltus::fit::eos
