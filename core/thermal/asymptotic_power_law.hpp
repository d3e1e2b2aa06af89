#pragma once
// Mie-Grueneisen-Debye model with an asymptotic power-law Grueneisen
// parameter, x = V/V0, L = ln x:
//   gamma(V) = gamma0 (1 + a (x^b - 1))
//   theta(V) = theta0 exp(-gamma0 (a (x^b - 1)/b + (1 - a) L))   (b = 0: theta0 x^(-gamma0))
//   E(V, T)  = 3 n R T D3(theta/T)
//   P_th     = gamma (E(V, T) - E(V, Tr)) / V / 10000
// theta is the integral of gamma, d ln(theta)/d ln(V) = -gamma.

#include <cmath>

#include "core/error.hpp"
#include "core/parameter_table.hpp"
#include "core/rt_model.hpp"
#include "core/thermal/special_functions.hpp"
#include "core/thermal/thermal_eos.hpp"
#include "core/thermal/thermodynamic_relations.hpp"

namespace nivaltus::thermal {

struct AsymptoticPowerLawMieGruneisenDebye : ThermalEos<AsymptoticPowerLawMieGruneisenDebye>,
                                             CaloricEos<AsymptoticPowerLawMieGruneisenDebye> {
  RtModel reference;
  double Tr;
  double theta0;
  double gamma0;
  double a;
  double b;
  double n;

  static constexpr ParameterTable<AsymptoticPowerLawMieGruneisenDebye, 6> parameter_table() {
    return {{{"Tr", "tr", field<&AsymptoticPowerLawMieGruneisenDebye::Tr>},
             {"theta0", "theta0", field<&AsymptoticPowerLawMieGruneisenDebye::theta0>},
             {"gamma0", "gamma0", field<&AsymptoticPowerLawMieGruneisenDebye::gamma0>},
             {"a", "a", field<&AsymptoticPowerLawMieGruneisenDebye::a>},
             {"b", "b", field<&AsymptoticPowerLawMieGruneisenDebye::b>},
             {"n", "n", field<&AsymptoticPowerLawMieGruneisenDebye::n>}}};
  }

  // a is checked first, then Tr, theta0, gamma0, b, n.
  static EosResult<AsymptoticPowerLawMieGruneisenDebye> make(const RtModel& reference, double Tr,
                                                             double theta0, double gamma0, double a, double b,
                                                             double n) {
    if (!is_finite(a)) return fail_parameter("a", phrase::finite);
    if (a < 0.0 || a > 1.0) return fail_parameter("a", "must lie between zero and one");
    if (!is_positive_finite(Tr)) return fail_parameter("Tr", phrase::positive_finite);
    if (!is_positive_finite(theta0)) return fail_parameter("theta0", phrase::positive_finite);
    if (!is_finite(gamma0)) return fail_parameter("gamma0", phrase::finite);
    if (!is_finite(b)) return fail_parameter("b", phrase::finite);
    if (!is_positive_finite(n)) return fail_parameter("n", phrase::positive_finite);
    return model_result<AsymptoticPowerLawMieGruneisenDebye>(reference, Tr, theta0, gamma0, a, b, n);
  }

  EosResult<double> characteristic_temperature(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    return theta_at(volume);
  }

  EosResult<double> thermal_energy(double volume, double temperature) const {
    if (!is_positive_finite(temperature)) return fail_state("temperature", phrase::positive_finite);
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    return energy_at(volume, temperature);
  }

  // S = n R (4 D3(y) - 3 ln(1 - e^(-y))), y = theta/T.
  EosResult<double> thermal_entropy(double volume, double temperature) const {
    if (!is_positive_finite(temperature)) return fail_state("temperature", phrase::positive_finite);
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const EosResult<double> theta = theta_at(volume);
    if (!theta) return theta;
    const double y = *theta / temperature;
    const double m = std::expm1(-y);
    const EosResult<double> d = debye_function_3(y);
    if (!d) return d;
    return finite_result((std::log(-m) * -3.0 + *d * 4.0) * (n * gas_constant));
  }

  EosResult<double> thermal_helmholtz_free_energy(double volume, double temperature) const {
    return helmholtz_free_energy(*this, volume, temperature);
  }

  EosResult<double> thermal_enthalpy(double volume, double temperature) const {
    return enthalpy(*this, volume, temperature);
  }

  EosResult<double> thermal_gibbs_free_energy(double volume, double temperature) const {
    return gibbs_free_energy(*this, volume, temperature);
  }

  // gamma E / V / 10000 with no reference energy; the volume and gamma are
  // checked before the temperature.
  EosResult<double> vibrational_pressure(double volume, double temperature) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const EosResult<double> gamma = gamma_at(volume);
    if (!gamma) return gamma;
    if (!is_positive_finite(temperature)) return fail_state("temperature", phrase::positive_finite);
    const EosResult<double> e = energy_at(volume, temperature);
    if (!e) return e;
    return finite_result(*gamma * *e / volume / energy_per_pressure_volume);
  }

  EosResult<double> thermal_pressure(double volume, double temperature) const {
    if (!is_positive_finite(temperature)) return fail_state("temperature", phrase::positive_finite);
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const EosResult<double> e = energy_at(volume, temperature);
    if (!e) return e;
    if (!is_positive_finite(Tr)) return fail_state("temperature", phrase::positive_finite);
    const EosResult<double> e_r = energy_at(volume, Tr);
    if (!e_r) return e_r;
    const EosResult<double> gamma = gamma_at(volume);
    if (!gamma) return gamma;
    return finite_result(((*e - *e_r) * *gamma) / volume / energy_per_pressure_volume);
  }

  // Cv = (E(T + h) - E(T - h)) / 2h, h = 1e-5 T.
  EosResult<double> molar_heat_capacity_v(double volume, double temperature) const {
    return central_difference_heat_capacity(*this, volume, temperature);
  }

  // gamma(V); the temperature is neither tested nor used.
  EosResult<double> gruneisen_parameter(double volume, double /*temperature*/) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    return gamma_at(volume);
  }

 private:
  double volume_ratio(double volume) const { return volume / reference.v0(); }

  EosResult<double> theta_at(double volume) const {
    const double l = std::log(volume_ratio(volume));
    const double l_prime = b != 0.0 ? ((std::expm1(l * b) * a) / b) + ((1.0 - a) * l) : l;
    return finite_result(std::exp(l_prime * -gamma0) * theta0);
  }

  EosResult<double> gamma_at(double volume) const {
    return finite_result(((std::pow(volume_ratio(volume), b) + -1.0) * a + 1.0) * gamma0);
  }

  // E = T (3 n R) D3(theta/T) for a checked volume and temperature.
  EosResult<double> energy_at(double volume, double temperature) const {
    const EosResult<double> theta = theta_at(volume);
    if (!theta) return theta;
    return debye_energy(*theta, n, temperature);
  }
};

}  // namespace nivaltus::thermal
