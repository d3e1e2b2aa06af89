#pragma once
// Thermal and caloric operations shared by every thermal model, as CRTP bases
// with default bodies. A default body always calls the model's own version of
// the operations it uses, so a model that replaces one operation changes every
// default that depends on it.
//
// How a model plugs in:
//
//   // CaloricEos<MyModel> only for a model with a heat-capacity model
//   struct MyModel : ThermalEos<MyModel>, CaloricEos<MyModel> {
//     RtModel reference;  // required: the isothermal reference, by value
//     double Tr;          // required: the reference temperature
//     ...                 // the model's parameters
//
//     // required by ThermalEos:
//     EosResult<double> thermal_pressure(double volume, double temperature) const;
//     // required by CaloricEos:
//     EosResult<double> molar_heat_capacity_v(double volume, double temperature) const;
//     EosResult<double> gruneisen_parameter(double volume, double temperature) const;
//   };
//
// It then has, from ThermalEos: thermal_pressure_increment, pressure, volume,
// temperature, bulk_modulus, thermal_expansivity, isothermal_compressibility,
// dac_thermal_pressure, volume_with_dac_confinement, reference_temperature();
// from CaloricEos: molar_heat_capacity_p, adiabatic_bulk_modulus.
//
// To replace a default, declare a member function of the same name and
// signature in the model; it hides the base's, and every default body that
// uses it calls the model's version (e.g. an own bulk_modulus is what
// thermal_expansivity divides by and isothermal_compressibility inverts).
// A model whose reference temperature is not a member `Tr` declares its own
// `double reference_temperature() const`.
//
// `reference` may be any isothermal model with `EosResult<double>
// pressure(double) const` and a reference volume V0 (RtModel's v0(), or a
// record's field v0); see isothermal::reference_volume().
//
// The bases are empty, so a model stays an aggregate. A constructor returns
// it with model_result<MyModel>(reference, Tr, ...), the fields in order.

#include <algorithm>
#include <concepts>
#include <expected>
#include <utility>

#include "core/error.hpp"
#include "core/isothermal/reference_parameters.hpp"
#include "core/root/solve_temperature.hpp"
#include "core/root/solve_volume.hpp"

namespace nivaltus::thermal {

// Gas constant; 3 n R is the high-temperature limit of the heat capacity of
// n atoms.
inline constexpr double gas_constant = 8.31446261815324;
// pressure x volume x 10000 = energy in the unit of thermal energies and
// heat capacities; an energy / volume / 10000 is a pressure.
inline constexpr double energy_per_pressure_volume = 10000.0;
// Relative steps of the bulk modulus and of the expansivity used inside other
// operations, and the cap of the expansivity's temperature step (T - dT
// stays at or above 0.51 T).
inline constexpr double internal_bulk_modulus_step = 1e-6;
inline constexpr double internal_expansivity_step = 1e-5;
inline constexpr double temperature_step_cap = 0.49;

using isothermal::reference_bulk_modulus;
using isothermal::reference_volume;

// The state checks that open most thermal operations: V, then T, both
// positive and finite.
inline EosResult<void> check_state(double volume, double temperature) {
  if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
  if (!is_positive_finite(temperature)) return fail_state("temperature", phrase::positive_finite);
  return {};
}

// What a thermal model may ask of its reference beyond pressure and bulk
// modulus: a copy with a new V0 and K0, and a copy with K0' shifted.
template <class Reference>
concept ReferenceStateEos = requires(const Reference& reference, double value) {
  { reference.with_reference_state(value, value) } -> std::same_as<EosResult<Reference>>;
  { reference.with_pressure_derivative_shift(value) } -> std::same_as<EosResult<Reference>>;
};

template <class Model>
class ThermalEos {
 public:
  // Thermal pressure over the reference temperature; equals the thermal
  // pressure for every model whose thermal pressure already vanishes at Tr.
  EosResult<double> thermal_pressure_increment(double volume, double temperature) const {
    return self().thermal_pressure(volume, temperature);
  }

  // P = P_th(V, T) + P_ref(V). The thermal part goes first and makes the
  // model's checks of V and T; when it fails the reference is not evaluated.
  EosResult<double> pressure(double volume, double temperature) const {
    const EosResult<double> thermal = self().thermal_pressure(volume, temperature);
    if (!thermal) return thermal;
    const EosResult<double> cold = self().reference.pressure(volume);
    if (!cold) return cold;
    return finite_result(*thermal + *cold);
  }

  // V with pressure(V, T) = P, searched from the reference V0.
  EosResult<double> volume(double pressure, double temperature) const {
    if (!is_positive_finite(temperature)) return fail_state("temperature", phrase::positive_finite);
    const Model& model = self();
    return root::solve_volume_function(
        [&model, temperature](double v) { return model.pressure(v, temperature); }, pressure,
        reference_volume(model.reference));
  }

  // T with P_th(V, T) = P - P_ref(V), searched from Tr.
  EosResult<double> temperature(double pressure, double volume) const {
    if (!is_finite(pressure)) return fail_state("pressure", phrase::finite);
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const Model& model = self();
    const EosResult<double> cold = model.reference.pressure(volume);
    if (!cold) return cold;
    return root::solve_temperature_function(
        [&model, volume](double t) { return model.thermal_pressure(volume, t); }, pressure - *cold,
        model.reference_temperature());
  }

  // K_T = -V dP/dV, central difference with dV = h V.
  EosResult<double> bulk_modulus(double volume, double temperature, double relative_step) const {
    if (auto bad = check_stencil(volume, temperature, relative_step); !bad)
      return std::unexpected(bad.error());
    const double dv = relative_step * volume;
    const EosResult<double> upper = self().pressure(volume + dv, temperature);
    if (!upper) return upper;
    const EosResult<double> lower = self().pressure(volume - dv, temperature);
    if (!lower) return lower;
    return finite_result(-volume * ((*upper - *lower) / (dv + dv)));
  }

  // alpha = (dP/dT)_V / K_T, central difference with dT = min(h T, 0.49 T).
  EosResult<double> thermal_expansivity(double volume, double temperature, double relative_step) const {
    if (auto bad = check_stencil(volume, temperature, relative_step); !bad)
      return std::unexpected(bad.error());
    const double dt = std::min(relative_step * temperature, temperature_step_cap * temperature);
    const EosResult<double> upper = self().pressure(volume, temperature + dt);
    if (!upper) return upper;
    const EosResult<double> lower = self().pressure(volume, temperature - dt);
    if (!lower) return lower;
    const EosResult<double> k = self().bulk_modulus(volume, temperature, internal_bulk_modulus_step);
    if (!k) return k;
    return finite_result(((*upper - *lower) / (dt + dt)) / *k);
  }

  // beta_T = 1 / K_T; a zero K_T is NonFiniteResult.
  EosResult<double> isothermal_compressibility(double volume, double temperature) const {
    const EosResult<double> k = self().bulk_modulus(volume, temperature, internal_bulk_modulus_step);
    if (!k) return k;
    return finite_result(1.0 / *k);
  }

  // The share f_dac in [0, 1) of the thermal pressure increment.
  EosResult<double> dac_thermal_pressure(double volume, double temperature, double f_dac) const {
    if (auto bad = check_f_dac(f_dac); !bad) return std::unexpected(bad.error());
    const EosResult<double> increment = self().thermal_pressure_increment(volume, temperature);
    if (!increment) return increment;
    return finite_result(f_dac * *increment);
  }

  // V with pressure(V, T) - dac_thermal_pressure(V, T, f_dac) = Pc, searched
  // from the reference V0.
  EosResult<double> volume_with_dac_confinement(double cold_pressure, double temperature,
                                                double f_dac) const {
    if (!is_positive_finite(temperature)) return fail_state("temperature", phrase::positive_finite);
    if (auto bad = check_f_dac(f_dac); !bad) return std::unexpected(bad.error());
    const Model& model = self();
    return root::solve_volume_function(
        [&model, temperature, f_dac](double v) -> EosResult<double> {
          const EosResult<double> total = model.pressure(v, temperature);
          if (!total) return total;
          const EosResult<double> dac = model.dac_thermal_pressure(v, temperature, f_dac);
          if (!dac) return dac;
          return finite_result(*total - *dac);
        },
        cold_pressure, reference_volume(model.reference));
  }

  // Start of the temperature inversion and the temperature at which the
  // thermal pressure increment vanishes.
  double reference_temperature() const { return self().Tr; }

 private:
  const Model& self() const { return static_cast<const Model&>(*this); }

  static EosResult<void> check_stencil(double volume, double temperature, double relative_step) {
    if (auto bad = check_state(volume, temperature); !bad) return bad;
    if (!is_positive_finite(relative_step)) return fail_state("relative_step", phrase::positive_finite);
    return {};
  }

  // -0.0 is accepted as zero; NaN fails the finite test first.
  static EosResult<void> check_f_dac(double f_dac) {
    if (!is_finite(f_dac)) return fail_state("f_dac", phrase::finite);
    if (f_dac < 0.0 || f_dac >= 1.0) return fail_state("f_dac", "must lie in [0, 1)");
    return {};
  }
};

template <class Model>
class CaloricEos {
 public:
  // Cp = Cv + alpha^2 K_T V T * 10000, with alpha at relative step 1e-5 and
  // K_T at 1e-6, multiplied in the order ((alpha alpha K) V) T 10000.
  EosResult<double> molar_heat_capacity_p(double volume, double temperature) const {
    const Model& model = self();
    const EosResult<double> cv = model.molar_heat_capacity_v(volume, temperature);
    if (!cv) return cv;
    const EosResult<double> alpha = model.thermal_expansivity(volume, temperature, internal_expansivity_step);
    if (!alpha) return alpha;
    const EosResult<double> k = model.bulk_modulus(volume, temperature, internal_bulk_modulus_step);
    if (!k) return k;
    return finite_result(*cv + *alpha * *alpha * *k * volume * temperature * energy_per_pressure_volume);
  }

  // K_S = K_T Cp / Cv; a zero Cv is NonFiniteResult.
  EosResult<double> adiabatic_bulk_modulus(double volume, double temperature) const {
    const Model& model = self();
    const EosResult<double> k = model.bulk_modulus(volume, temperature, internal_bulk_modulus_step);
    if (!k) return k;
    const EosResult<double> cv = model.molar_heat_capacity_v(volume, temperature);
    if (!cv) return cv;
    const EosResult<double> cp = model.molar_heat_capacity_p(volume, temperature);
    if (!cp) return cp;
    return finite_result((*k * *cp) / *cv);
  }

 private:
  const Model& self() const { return static_cast<const Model&>(*this); }
};

// A model value built in place inside its result from its fields in
// declaration order, the empty bases supplied here (ThermalEos first, then
// CaloricEos where the model has it). Building the aggregate as a temporary
// and moving it into the result trips GCC 12's -Wmaybe-uninitialized on the
// empty bases.
template <class Model, class... Fields>
EosResult<Model> model_result(Fields&&... fields) {
  if constexpr (std::derived_from<Model, CaloricEos<Model>>) {
    return EosResult<Model>(std::in_place, ThermalEos<Model>{}, CaloricEos<Model>{},
                            std::forward<Fields>(fields)...);
  } else {
    return EosResult<Model>(std::in_place, ThermalEos<Model>{}, std::forward<Fields>(fields)...);
  }
}

// A model built on ThermalEos (every thermal model), and one that also
// carries a heat-capacity model.
template <class Model>
concept ThermalEosModel = std::derived_from<Model, ThermalEos<Model>> &&
                          requires(const Model& model, double volume, double temperature) {
                            {
                              model.thermal_pressure(volume, temperature)
                            } -> std::same_as<EosResult<double>>;
                          };

template <class Model>
concept CaloricEosModel = ThermalEosModel<Model> && std::derived_from<Model, CaloricEos<Model>> &&
                          requires(const Model& model, double volume, double temperature) {
                            {
                              model.molar_heat_capacity_v(volume, temperature)
                            } -> std::same_as<EosResult<double>>;
                            {
                              model.gruneisen_parameter(volume, temperature)
                            } -> std::same_as<EosResult<double>>;
                          };

}  // namespace nivaltus::thermal
