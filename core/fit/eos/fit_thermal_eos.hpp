#pragma once
// Fit of a thermal model to measured pressure-volume-temperature points:
// model parameters and, for the volumes and temperatures that carry
// deviations, one latent value per point (all latent volumes before all
// latent temperatures), by bounded least squares, the model rebuilt from the
// trial parameters at every evaluation. Checks run first, in this order:
// pressure, volume and pressure_sigma together, temperature, volume_sigma,
// temperature_sigma, the factors, the factors' need of both sigmas, then the
// bounds' lengths and the engine's own checks; the first failure ends the
// call. A model that cannot be built at a trial point, or whose pressure
// fails there, ends the fit with that error.

#include <algorithm>
#include <concepts>
#include <utility>

#include "core/error.hpp"
#include "core/fit/eos/eos_fit_result.hpp"
#include "core/fit/eos/observation_checks.hpp"
#include "core/fit/eos/point_fit.hpp"
#include "core/fit/fit_error.hpp"
#include "core/fit/solver_types.hpp"

namespace nivaltus::fit::eos {

struct PressureVolumeTemperatureObservations {
  Slice pressure;  // n points
  Slice volume;
  Slice temperature;  // always required, positive
  Slice pressure_sigma;
  // Present: each point gets a latent volume.
  OptionalSlice volume_sigma;
  // Present: each point gets a latent temperature.
  OptionalSlice temperature_sigma;
  // Present: n row-major 3 x 3 lower-triangular factors L of each point's
  // (pressure, volume, temperature) error covariance L Lᵀ; requires both
  // sigmas, whose values then no longer weight the residuals.
  OptionalSlice cholesky_factors;
};

// build(parameters) → FitResult<Model> is given the first k = initial.size()
// entries of each trial vector; pressure(model, volume, temperature) →
// EosResult<double>. The result always holds fitted temperatures.
template <ModelBuilder Build, class Pressure>
  requires requires(const Pressure& pressure, const BuiltModel<Build>& model) {
    { pressure(model, 1.0, 1.0) } -> std::convertible_to<EosResult<double>>;
  }
FitResult<EosFitResult> fit_thermal_eos_by(const PressureVolumeTemperatureObservations& observations,
                                           Slice initial, Slice lower, Slice upper,
                                           const SolverOptions& options, const Build& build,
                                           const Pressure& pressure) {
  const std::size_t n = observations.pressure.size();
  if (auto valid =
          validate_common(observations.pressure, observations.volume, observations.pressure_sigma, n);
      !valid) {
    return std::unexpected(std::move(valid).error());
  }
  if (observations.temperature.size() != n ||
      !std::ranges::all_of(observations.temperature, is_positive_finite)) {
    return fail_input("temperature must contain one positive finite value per observation");
  }
  if (auto valid = validate_optional_sigma(observations.volume_sigma, n, "volume_sigma"); !valid) {
    return std::unexpected(std::move(valid).error());
  }
  if (auto valid = validate_optional_sigma(observations.temperature_sigma, n, "temperature_sigma"); !valid) {
    return std::unexpected(std::move(valid).error());
  }
  if (auto valid = validate_cholesky(observations.cholesky_factors, n, 3); !valid) {
    return std::unexpected(std::move(valid).error());
  }
  if (observations.cholesky_factors && (!observations.volume_sigma || !observations.temperature_sigma)) {
    return fail_input("correlated pressure-volume-temperature errors require latent coordinates");
  }
  const detail::PointObservations data{
      .pressure = observations.pressure,
      .pressure_sigma = observations.pressure_sigma,
      .volume = observations.volume,
      .volume_sigma = observations.volume_sigma,
      .temperature = observations.temperature,
      .temperature_sigma = observations.temperature_sigma,
      .factors = observations.cholesky_factors,
  };
  return detail::fit_points(data, initial, lower, upper, options, build, pressure);
}

}  // namespace nivaltus::fit::eos
