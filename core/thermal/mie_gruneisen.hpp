#pragma once
// Mie-Grueneisen thermal model over an RtModel reference, with x = V/V0:
//   gamma(V) = gamma0 x^q
//   theta(V) = theta0 exp(-gamma0 (x^q - 1)/q)   (q = 0: theta0 x^(-gamma0))
//              or theta0 x^(-gamma(V))           (variable-exponent law, Debye only)
//   P_th(V, T) = gamma(V) (E(V, T) - E(V, T_0)) / V / 10000
// with E the energy of 3n Einstein oscillators (Debye = false) or of a Debye
// solid with high-temperature heat capacity Cvmax (Debye = true), and T_0 the
// reference temperature Tr, the isentrope temperature Tr theta(V)/theta0, or
// absolute zero (no second energy).
//
// The model has no validating constructor of its own: build_mie_gruneisen_debye
// and build_mie_gruneisen_einstein hold its parameter checks.

#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

#include "core/error.hpp"
#include "core/name_table.hpp"
#include "core/parameter_table.hpp"
#include "core/rt_model.hpp"
#include "core/thermal/special_functions.hpp"
#include "core/thermal/thermal_eos.hpp"
#include "core/thermal/thermodynamic_relations.hpp"

namespace nivaltus::thermal {

enum class DebyeTemperatureLaw : std::uint8_t {
  integrated_gruneisen = 0,
  variable_exponent = 1,
};

enum class ThermalPressureReference : std::uint8_t {
  reference_temperature = 0,
  reference_isentrope = 1,
  absolute_zero = 2,
};

// The choices by their names ("integrated_gruneisen", "variable_exponent";
// "reference_temperature", "reference_isentrope", "absolute_zero"), compared
// exactly; nullopt for any other text.
inline constexpr NameTable<DebyeTemperatureLaw, 2> debye_temperature_law_names{{
    {"integrated_gruneisen", DebyeTemperatureLaw::integrated_gruneisen},
    {"variable_exponent", DebyeTemperatureLaw::variable_exponent},
}};

inline constexpr NameTable<ThermalPressureReference, 3> thermal_pressure_reference_names{{
    {"reference_temperature", ThermalPressureReference::reference_temperature},
    {"reference_isentrope", ThermalPressureReference::reference_isentrope},
    {"absolute_zero", ThermalPressureReference::absolute_zero},
}};

constexpr std::optional<DebyeTemperatureLaw> debye_temperature_law_from_name(std::string_view name) {
  return value_from_name(debye_temperature_law_names, name);
}

constexpr std::optional<ThermalPressureReference> thermal_pressure_reference_from_name(
    std::string_view name) {
  return value_from_name(thermal_pressure_reference_names, name);
}

template <bool Debye>
struct MieGruneisen : ThermalEos<MieGruneisen<Debye>>, CaloricEos<MieGruneisen<Debye>> {
  RtModel reference;
  double Tr;
  double theta0;
  double gamma0;
  double q;
  double n;
  double Cvmax;  // read by the Debye form only
  DebyeTemperatureLaw debye_temperature_law;
  ThermalPressureReference thermal_pressure_reference;

  // The Einstein form has no Cvmax parameter: it is always 3 n R.
  static constexpr auto parameter_table() {
    constexpr Parameter<MieGruneisen> tr{"Tr", "tr", field<&MieGruneisen::Tr>};
    constexpr Parameter<MieGruneisen> theta0{"theta0", "theta0", field<&MieGruneisen::theta0>};
    constexpr Parameter<MieGruneisen> gamma0{"gamma0", "gamma0", field<&MieGruneisen::gamma0>};
    constexpr Parameter<MieGruneisen> q{"q", "q", field<&MieGruneisen::q>};
    constexpr Parameter<MieGruneisen> n{"n", "n", field<&MieGruneisen::n>};
    if constexpr (Debye) {
      return ParameterTable<MieGruneisen, 6>{
          {tr, theta0, gamma0, q, n, {"Cvmax", "cvmax", field<&MieGruneisen::Cvmax>, python_none}}};
    } else {
      return ParameterTable<MieGruneisen, 5>{{tr, theta0, gamma0, q, n}};
    }
  }

  EosResult<double> characteristic_temperature(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    return theta_at(volume);
  }

  // Einstein: 3 n R theta / (e^(theta/T) - 1); Debye: T Cvmax D3(theta/T).
  EosResult<double> thermal_energy(double volume, double temperature) const {
    if (auto bad = check_state(volume, temperature); !bad) return std::unexpected(bad.error());
    const EosResult<double> theta = theta_at(volume);
    if (!theta) return theta;
    if constexpr (Debye) {
      const EosResult<double> d = debye_function_3(*theta / temperature);
      if (!d) return d;
      return finite_result((temperature * Cvmax) * *d);
    } else {
      return einstein_energy(*theta, n, temperature);
    }
  }

  // With u = theta/T:
  //   Einstein: 3 n R (u/(e^u - 1) - ln(1 - e^(-u)))
  //   Debye:    (Cvmax/3) (4 D3(u) - 3 ln(1 - e^(-u)))
  EosResult<double> thermal_entropy(double volume, double temperature) const {
    if (auto bad = check_state(volume, temperature); !bad) return std::unexpected(bad.error());
    const EosResult<double> theta = theta_at(volume);
    if (!theta) return theta;
    const double u = *theta / temperature;
    const double m = -std::expm1(-u);
    if constexpr (Debye) {
      const EosResult<double> d = debye_function_3(u);
      if (!d) return d;
      return finite_result((*d * 4.0 - std::log(m) * 3.0) * (Cvmax / 3.0));
    } else {
      return finite_result(((std::exp(-u) / m) * u - std::log(m)) * ((n * 3.0) * gas_constant));
    }
  }

  EosResult<double> thermal_helmholtz_free_energy(double volume, double temperature) const {
    return helmholtz_free_energy(*this, volume, temperature);
  }

  // gamma E / V / 10000, with no reference energy subtracted.
  EosResult<double> vibrational_pressure(double volume, double temperature) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const EosResult<double> gamma = gamma_at(volume);
    if (!gamma) return gamma;
    const EosResult<double> e = thermal_energy(volume, temperature);
    if (!e) return e;
    return finite_result(((*gamma * *e) / volume) / energy_per_pressure_volume);
  }

  EosResult<double> thermal_enthalpy(double volume, double temperature) const {
    return enthalpy(*this, volume, temperature);
  }

  EosResult<double> thermal_gibbs_free_energy(double volume, double temperature) const {
    return gibbs_free_energy(*this, volume, temperature);
  }

  EosResult<double> thermal_pressure(double volume, double temperature) const {
    if (auto bad = check_state(volume, temperature); !bad) return std::unexpected(bad.error());
    const EosResult<double> e = thermal_energy(volume, temperature);
    if (!e) return e;
    double delta_e = *e;
    if (thermal_pressure_reference != ThermalPressureReference::absolute_zero) {
      double t0 = Tr;
      if (thermal_pressure_reference == ThermalPressureReference::reference_isentrope) {
        const EosResult<double> theta = theta_at(volume);
        if (!theta) return theta;
        t0 = (Tr * *theta) / theta0;
      }
      // thermal_energy checks t0 as a temperature.
      const EosResult<double> e0 = thermal_energy(volume, t0);
      if (!e0) return e0;
      delta_e = *e - *e0;
    }
    const EosResult<double> gamma = gamma_at(volume);
    if (!gamma) return gamma;
    return finite_result(((delta_e * *gamma) / volume) / energy_per_pressure_volume);
  }

  // Always over Tr, whatever the thermal-pressure reference.
  EosResult<double> thermal_pressure_increment(double volume, double temperature) const {
    const EosResult<double> a = thermal_pressure(volume, temperature);
    if (thermal_pressure_reference == ThermalPressureReference::reference_temperature || !a) return a;
    const EosResult<double> b = thermal_pressure(volume, Tr);
    if (!b) return b;
    return finite_result(*a - *b);
  }

  // Cv = (E(T + h) - E(T - h)) / 2h, h = 1e-5 T.
  EosResult<double> molar_heat_capacity_v(double volume, double temperature) const {
    return central_difference_heat_capacity(*this, volume, temperature);
  }

  // gamma(V); the temperature is not used.
  EosResult<double> gruneisen_parameter(double volume, double /*temperature*/) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    return gamma_at(volume);
  }

 private:
  double log_volume_ratio(double volume) const { return std::log(volume / reference.v0()); }

  EosResult<double> gamma_at(double volume) const {
    return finite_result(std::exp(q * log_volume_ratio(volume)) * gamma0);
  }

  EosResult<double> theta_at(double volume) const {
    const double ln_x = log_volume_ratio(volume);
    double theta = 0.0;
    if (Debye && debye_temperature_law == DebyeTemperatureLaw::variable_exponent) {
      const EosResult<double> gamma = gamma_at(volume);
      if (!gamma) return gamma;
      theta = std::exp(ln_x * -*gamma) * theta0;
    } else if (q != 0.0) {
      theta = std::exp((std::expm1(ln_x * q) * -gamma0) / q) * theta0;
    } else {
      theta = std::exp(ln_x * -gamma0) * theta0;
    }
    return finite_result(theta);
  }
};

using MieGruneisenDebye = MieGruneisen<true>;
using MieGruneisenEinstein = MieGruneisen<false>;

namespace mie_gruneisen_detail {

inline EosResult<void> check_parameters(double Tr, double theta0, double gamma0, double q, double n) {
  if (!is_positive_finite(Tr)) return fail_parameter("Tr", phrase::positive_finite);
  if (!is_positive_finite(theta0)) return fail_parameter("theta0", phrase::positive_finite);
  if (!is_finite(gamma0)) return fail_parameter("gamma0", phrase::finite);
  if (!is_finite(q)) return fail_parameter("q", phrase::finite);
  if (!is_positive_finite(n)) return fail_parameter("n", phrase::positive_finite);
  return {};
}

}  // namespace mie_gruneisen_detail

// The Debye form, checked in the order Tr, theta0, gamma0, q, n, then Cvmax
// when one is given; without one Cvmax = 3 n R. Every path that builds the
// Debye form (its constructor, a rebuild with the kept or a new Cvmax) goes
// through here.
inline EosResult<MieGruneisenDebye> build_mie_gruneisen_debye(
    const RtModel& reference, double Tr, double theta0, double gamma0, double q, double n,
    std::optional<double> Cvmax = std::nullopt,
    DebyeTemperatureLaw debye_temperature_law = DebyeTemperatureLaw::integrated_gruneisen,
    ThermalPressureReference thermal_pressure_reference = ThermalPressureReference::reference_temperature) {
  if (auto bad = mie_gruneisen_detail::check_parameters(Tr, theta0, gamma0, q, n); !bad) {
    return std::unexpected(bad.error());
  }
  if (Cvmax && !is_positive_finite(*Cvmax)) return fail_parameter("Cvmax", phrase::positive_finite);
  const double cvmax = Cvmax ? *Cvmax : (3.0 * n) * gas_constant;
  return model_result<MieGruneisenDebye>(reference, Tr, theta0, gamma0, q, n, cvmax, debye_temperature_law,
                                         thermal_pressure_reference);
}

// The Einstein form: the same checks without Cvmax; Cvmax = 3 n R, the
// integrated Grueneisen law and the reference-temperature reference always.
inline EosResult<MieGruneisenEinstein> build_mie_gruneisen_einstein(const RtModel& reference, double Tr,
                                                                    double theta0, double gamma0, double q,
                                                                    double n) {
  if (auto bad = mie_gruneisen_detail::check_parameters(Tr, theta0, gamma0, q, n); !bad) {
    return std::unexpected(bad.error());
  }
  return model_result<MieGruneisenEinstein>(reference, Tr, theta0, gamma0, q, n, (3.0 * n) * gas_constant,
                                            DebyeTemperatureLaw::integrated_gruneisen,
                                            ThermalPressureReference::reference_temperature);
}

}  // namespace nivaltus::thermal
