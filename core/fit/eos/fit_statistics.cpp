#include "core/fit/eos/fit_statistics.hpp"

#include <cmath>
#include <cstdint>
#include <limits>

namespace nivaltus::fit::eos {

FitResult<FitStatistics> fit_statistics(std::span<const double> residuals, std::size_t variable_count) {
  constexpr std::size_t limit = std::numeric_limits<std::uint32_t>::max();
  const std::size_t m = residuals.size();
  const std::size_t p = variable_count;
  if (m > limit) return fail_input("residual count exceeds the statistics limit");
  if (p > limit) return fail_input("variable count exceeds the statistics limit");

  double chi_square = -0.0;
  for (const double r : residuals) chi_square += r * r;

  FitStatistics statistics{};
  statistics.chi_square = chi_square;
  statistics.degrees_of_freedom = m > p ? m - p : 0;
  if (m > p) statistics.reduced_chi_square = chi_square / static_cast<double>(m - p);

  const double rows = static_cast<double>(m);
  const double variables = static_cast<double>(p);
  const double q = rows * std::log(std::fmax(chi_square / rows, std::numeric_limits<double>::min()));
  statistics.aic = q + 2.0 * variables;
  statistics.bic = q + variables * std::log(rows);
  return statistics;
}

ParameterSpread parameter_spread(std::span<const double> covariance, std::size_t k) {
  ParameterSpread spread{std::vector<double>(k), std::vector<double>(k * k, 0.0)};
  for (std::size_t i = 0; i < k; ++i) {
    // A diagonal at or below zero by rounding, or NaN, gives 0.
    const double variance = covariance[i * (k + 1)];
    spread.standard_errors[i] = variance > 0.0 ? std::sqrt(variance) : 0.0;
  }
  for (std::size_t i = 0; i < k; ++i) {
    for (std::size_t j = 0; j < k; ++j) {
      const double scale = spread.standard_errors[i] * spread.standard_errors[j];
      if (scale > 0.0) spread.correlation[i * k + j] = covariance[i * k + j] / scale;
    }
  }
  return spread;
}

}  // namespace nivaltus::fit::eos
