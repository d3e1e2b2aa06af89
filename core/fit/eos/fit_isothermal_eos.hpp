#pragma once
// Fit of an isothermal model to measured pressure-volume points: model
// parameters (and, when the volumes carry deviations, one latent volume per
// point) by bounded least squares, the model rebuilt from the trial
// parameters at every evaluation. Checks run first, in this order:
// pressure, volume and pressure_sigma together, volume_sigma, the factors,
// the factors' need of volume_sigma, then the bounds' lengths and the
// engine's own checks; the first failure ends the call. A model that cannot
// be built at a trial point, or whose pressure fails there, ends the fit
// with that error.

#include <utility>

#include "core/fit/eos/eos_fit_result.hpp"
#include "core/fit/eos/observation_checks.hpp"
#include "core/fit/eos/point_fit.hpp"
#include "core/fit/fit_error.hpp"
#include "core/fit/solver_types.hpp"

namespace nivaltus::fit::eos {

struct PressureVolumeObservations {
  Slice pressure;  // n points
  Slice volume;
  Slice pressure_sigma;
  // Present: the volumes are uncertain and each point gets a latent volume.
  OptionalSlice volume_sigma;
  // Present: n row-major 2 x 2 lower-triangular factors L of each point's
  // (pressure, volume) error covariance L Lᵀ; requires volume_sigma, whose
  // values (and those of pressure_sigma) then no longer weight the residuals.
  OptionalSlice cholesky_factors;
};

// build(parameters) → FitResult<Model> is given the first k = initial.size()
// entries of each trial vector; Model::pressure(volume) → EosResult<double>.
// The result has no fitted temperatures.
template <ModelBuilder Build>
FitResult<EosFitResult> fit_isothermal_eos(const PressureVolumeObservations& observations, Slice initial,
                                           Slice lower, Slice upper, const SolverOptions& options,
                                           const Build& build) {
  const std::size_t n = observations.pressure.size();
  if (auto valid =
          validate_common(observations.pressure, observations.volume, observations.pressure_sigma, n);
      !valid) {
    return std::unexpected(std::move(valid).error());
  }
  if (auto valid = validate_optional_sigma(observations.volume_sigma, n, "volume_sigma"); !valid) {
    return std::unexpected(std::move(valid).error());
  }
  if (auto valid = validate_cholesky(observations.cholesky_factors, n, 2); !valid) {
    return std::unexpected(std::move(valid).error());
  }
  if (observations.cholesky_factors && !observations.volume_sigma) {
    return fail_input("correlated pressure-volume errors require latent volumes");
  }
  const detail::PointObservations data{
      .pressure = observations.pressure,
      .pressure_sigma = observations.pressure_sigma,
      .volume = observations.volume,
      .volume_sigma = observations.volume_sigma,
      .factors = observations.cholesky_factors,
  };
  const auto pressure = [](const BuiltModel<Build>& model, double volume, double) {
    return model.pressure(volume);
  };
  return detail::fit_points(data, initial, lower, upper, options, build, pressure);
}

}  // namespace nivaltus::fit::eos
