#pragma once
// Thermal quantities that a model with a thermal energy E(V, T), entropy
// S(V, T) and vibrational pressure P_vib(V, T) derives from them in the same
// way. Each calls the model's own operations, in the order written, and
// returns the first error unchanged.

#include "core/error.hpp"
#include "core/thermal/thermal_eos.hpp"

namespace nivaltus::thermal {

// Cv = (E(T + h) - E(T - h)) / 2h, h = 1e-5 T; T is checked first.
template <class Model>
EosResult<double> central_difference_heat_capacity(const Model& model, double volume, double temperature) {
  if (!is_positive_finite(temperature)) return fail_state("temperature", phrase::positive_finite);
  const double h = 1e-5 * temperature;
  const EosResult<double> upper = model.thermal_energy(volume, temperature + h);
  if (!upper) return upper;
  const EosResult<double> lower = model.thermal_energy(volume, temperature - h);
  if (!lower) return lower;
  return finite_result((*upper - *lower) / (h + h));
}

// F = E - T S.
template <class Model>
EosResult<double> helmholtz_free_energy(const Model& model, double volume, double temperature) {
  const EosResult<double> e = model.thermal_energy(volume, temperature);
  if (!e) return e;
  const EosResult<double> s = model.thermal_entropy(volume, temperature);
  if (!s) return s;
  return finite_result(*e - temperature * *s);
}

// H = E + (V P_vib) 10000.
template <class Model>
EosResult<double> enthalpy(const Model& model, double volume, double temperature) {
  const EosResult<double> e = model.thermal_energy(volume, temperature);
  if (!e) return e;
  const EosResult<double> p = model.vibrational_pressure(volume, temperature);
  if (!p) return p;
  return finite_result(*e + (volume * *p) * energy_per_pressure_volume);
}

// G = F + (V P_vib) 10000, F from the model's own free energy.
template <class Model>
EosResult<double> gibbs_free_energy(const Model& model, double volume, double temperature) {
  const EosResult<double> f = model.thermal_helmholtz_free_energy(volume, temperature);
  if (!f) return f;
  const EosResult<double> p = model.vibrational_pressure(volume, temperature);
  if (!p) return p;
  return finite_result(*f + (volume * *p) * energy_per_pressure_volume);
}

}  // namespace nivaltus::thermal
