#pragma once
// Holland-Powell thermal pressure: one Einstein oscillator of fixed
// temperature theta, scaled so that dP_th/dT at Tr is alpha0 K0:
//   Cv(T)  = 3 n R u^2 e^(-u) / (1 - e^(-u))^2,  u = theta/T
//   P_th   = (K0 alpha0 / Cv(Tr)) (E(T) - E(Tr)),  E = 3 n R theta / (e^u - 1)
// The thermal pressure depends on T alone. The reference is an RtModel
// ("HollandPowellThermalPressure") or an isothermal::ModifiedTait held
// directly ("ThermalModifiedTait"); K0 is the reference's.

#include <cmath>

#include "core/error.hpp"
#include "core/parameter_table.hpp"
#include "core/thermal/special_functions.hpp"
#include "core/thermal/thermal_eos.hpp"

namespace nivaltus::thermal {

// Einstein heat capacity ((((3 n) R) u) u) e / ((1 - e)(1 - e)), e = exp(-u).
inline double holland_powell_heat_capacity(double theta, double n, double temperature) {
  const double u = theta / temperature;
  const double e = std::exp(-u);
  return (((3.0 * n) * gas_constant) * u * u * e) / ((1.0 - e) * (1.0 - e));
}

template <class Reference>
struct HollandPowellThermalPressure : ThermalEos<HollandPowellThermalPressure<Reference>>,
                                      CaloricEos<HollandPowellThermalPressure<Reference>> {
  Reference reference;
  double Tr;
  double theta;
  double alpha0;
  double n;
  double reference_heat_capacity;  // Cv(Tr)
  double pressure_coefficient;     // K0 alpha0 / Cv(Tr)

  // Cv(Tr) and the coefficient are derived by make, not parameters.
  static constexpr ParameterTable<HollandPowellThermalPressure, 4> parameter_table() {
    return {{{"Tr", "tr", field<&HollandPowellThermalPressure::Tr>},
             {"theta", "theta", field<&HollandPowellThermalPressure::theta>},
             {"alpha0", "alpha0", field<&HollandPowellThermalPressure::alpha0>},
             {"n", "n", field<&HollandPowellThermalPressure::n>}}};
  }

  // Checks Tr, theta, alpha0, n; then Cv(Tr) (0/0 when theta/Tr is so small
  // that e^(-u) rounds to 1) and the coefficient (infinite when e^(-u)
  // underflows and Cv(Tr) = 0) must be finite, else NonFiniteResult.
  static EosResult<HollandPowellThermalPressure> make(const Reference& reference, double Tr, double theta,
                                                      double alpha0, double n) {
    if (!is_positive_finite(Tr)) return fail_parameter("Tr", phrase::positive_finite);
    if (!is_positive_finite(theta)) return fail_parameter("theta", phrase::positive_finite);
    if (!is_finite(alpha0)) return fail_parameter("alpha0", phrase::finite);
    if (!is_positive_finite(n)) return fail_parameter("n", phrase::positive_finite);
    const EosResult<double> cv0 = finite_result(holland_powell_heat_capacity(theta, n, Tr));
    if (!cv0) return std::unexpected(cv0.error());
    const EosResult<double> coefficient = finite_result((reference_bulk_modulus(reference) * alpha0) / *cv0);
    if (!coefficient) return std::unexpected(coefficient.error());
    return model_result<HollandPowellThermalPressure>(reference, Tr, theta, alpha0, n, *cv0, *coefficient);
  }

  // The volume is checked but takes no part in the value.
  EosResult<double> thermal_pressure(double volume, double temperature) const {
    if (auto bad = check_state(volume, temperature); !bad) return std::unexpected(bad.error());
    const EosResult<double> e = einstein_energy(theta, n, temperature);
    if (!e) return e;
    const EosResult<double> e_r = einstein_energy(theta, n, Tr);
    if (!e_r) return e_r;
    return finite_result(pressure_coefficient * (*e - *e_r));
  }

  EosResult<double> molar_heat_capacity_v(double volume, double temperature) const {
    if (auto bad = check_state(volume, temperature); !bad) return std::unexpected(bad.error());
    return finite_result(holland_powell_heat_capacity(theta, n, temperature));
  }

  // gamma = 10000 V K0 alpha0 / Cv(Tr), proportional to V; the temperature is
  // neither tested nor used.
  EosResult<double> gruneisen_parameter(double volume, double /*temperature*/) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    return finite_result((volume * pressure_coefficient) * energy_per_pressure_volume);
  }
};

}  // namespace nivaltus::thermal
