#pragma once
// The fit shared by the pressure-volume and the pressure-volume-temperature
// fronts, after their observation checks. Each point i has an observed
// pressure P_i with deviation σ_P,i, an observed volume V_i and, for thermal
// fits, an observed temperature T_i. A variable with a deviation is uncertain:
// each point gets a latent ("true") value of it, optimised beside the model
// parameters. The residuals, in blocks of n,
//   (p(V̂_i, T̂_i) - P_i)/σ_P,i,  then (V̂_i - V_i)/σ_V,i,  then (T̂_i - T_i)/σ_T,i
// (the last two only for latent variables, V̂ = V and T̂ = T otherwise), or,
// with per-point Cholesky factors of the error covariance (all variables
// latent), the unscaled differences whitened point by point.

#include <array>
#include <concepts>
#include <cstddef>
#include <optional>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/error.hpp"
#include "core/fit/eos/eos_fit_result.hpp"
#include "core/fit/eos/observation_checks.hpp"
#include "core/fit/eos/optimizer_vectors.hpp"
#include "core/fit/eos/solve_native.hpp"
#include "core/fit/eos/whitening.hpp"
#include "core/fit/fit_error.hpp"
#include "core/fit/solver_types.hpp"

namespace nivaltus::fit::eos {

// The model type that a model-building function object returns, given the
// model parameters as a slice: FitResult<Model>.
template <class Build>
using BuiltModel = typename std::invoke_result_t<const Build&, Slice>::value_type;

template <class Build>
concept ModelBuilder = requires(const Build& build, Slice parameters) {
  { build(parameters) } -> std::same_as<FitResult<BuiltModel<Build>>>;
};

namespace detail {

// Validated observations. temperature is empty for a pressure-volume fit
// and holds n values for a pressure-volume-temperature one; factors, when
// present, come with every variable latent.
struct PointObservations {
  Slice pressure;
  Slice pressure_sigma;
  Slice volume;
  OptionalSlice volume_sigma;
  Slice temperature = {};
  OptionalSlice temperature_sigma = std::nullopt;
  OptionalSlice factors;
};

// pressure(model, V, T) → EosResult<double>.
template <ModelBuilder Build, class Pressure>
FitResult<EosFitResult> fit_points(const PointObservations& data, Slice initial, Slice lower, Slice upper,
                                   const SolverOptions& options, const Build& build,
                                   const Pressure& pressure) {
  const std::size_t n = data.pressure.size();
  const std::size_t k = initial.size();
  const bool has_temperature = !data.temperature.empty();
  const bool latent_volume = data.volume_sigma.has_value();
  const bool latent_temperature = has_temperature && data.temperature_sigma.has_value();
  const std::size_t latent_count = std::size_t{latent_volume} + std::size_t{latent_temperature};

  std::array<Slice, 2> latent_blocks;
  std::size_t latent_kinds = 0;
  if (latent_volume) latent_blocks[latent_kinds++] = data.volume;
  if (latent_temperature) latent_blocks[latent_kinds++] = data.temperature;
  FitResult<OptimizerVectors> vectors =
      optimizer_vectors(initial, lower, upper, std::span<const Slice>(latent_blocks.data(), latent_kinds));
  if (!vectors) return std::unexpected(std::move(vectors).error());

  // The variables of every point at x: latent values or the observed ones.
  struct PointVariables {
    Slice volume;
    Slice temperature;
  };
  const auto variables_at = [&](Slice x) {
    std::size_t offset = k;
    const Slice volume = latent_slice(x, data.volume, latent_volume, offset);
    const Slice temperature = latent_slice(x, data.temperature, latent_temperature, offset);
    return PointVariables{volume, temperature};
  };
  // p(V_i, T_i) into out[i], the first model error returned.
  const auto pressures = [&](const BuiltModel<Build>& model, const PointVariables& at,
                             double* out) -> FitResult<void> {
    for (std::size_t i = 0; i < n; ++i) {
      const double temperature = has_temperature ? at.temperature[i] : 0.0;
      const EosResult<double> p = pressure(model, at.volume[i], temperature);
      if (!p) return fail_eos(p.error());
      out[i] = *p;
    }
    return {};
  };

  const auto residual = [&](Slice x) -> FitResult<std::vector<double>> {
    FitResult<BuiltModel<Build>> model = build(x.first(k));
    if (!model) return std::unexpected(std::move(model).error());
    const PointVariables at = variables_at(x);
    std::vector<double> r(n * (latent_count + 1));
    if (auto evaluated = pressures(*model, at, r.data()); !evaluated) {
      return std::unexpected(std::move(evaluated).error());
    }
    const bool whiten = data.factors.has_value();
    for (std::size_t i = 0; i < n; ++i) {
      r[i] -= data.pressure[i];
      if (!whiten) r[i] /= data.pressure_sigma[i];
    }
    std::size_t block = 1;
    const auto latent_rows = [&](Slice fitted, Slice observed, const OptionalSlice& sigma) {
      double* out = r.data() + block * n;
      for (std::size_t i = 0; i < n; ++i) {
        out[i] = fitted[i] - observed[i];
        if (!whiten) out[i] /= (*sigma)[i];
      }
      ++block;
    };
    if (latent_volume) latent_rows(at.volume, data.volume, data.volume_sigma);
    if (latent_temperature) latent_rows(at.temperature, data.temperature, data.temperature_sigma);
    if (whiten) whiten_correlated(r, latent_count + 1, *data.factors, n);
    return r;
  };

  FitResult<SolverResult> solved =
      solve_native(vectors->x0, vectors->lower, vectors->upper, options, k, n, latent_count, residual);
  if (!solved) return std::unexpected(std::move(solved).error());

  const Slice x = solved->x;
  FitResult<BuiltModel<Build>> model = build(x.first(k));
  if (!model) return std::unexpected(std::move(model).error());
  const PointVariables at = variables_at(x);
  std::vector<double> predicted(n);
  if (auto evaluated = pressures(*model, at, predicted.data()); !evaluated) {
    return std::unexpected(std::move(evaluated).error());
  }
  std::vector<double> volumes(at.volume.begin(), at.volume.end());
  std::optional<std::vector<double>> temperatures;
  if (has_temperature) temperatures.emplace(at.temperature.begin(), at.temperature.end());
  return interpret_result(std::move(*solved), std::move(predicted), std::move(volumes),
                          std::move(temperatures), k, n, latent_count);
}

}  // namespace detail

}  // namespace nivaltus::fit::eos
