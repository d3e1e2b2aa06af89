#pragma once
// Mie-Grueneisen-Debye thermal pressure plus a term quadratic in temperature:
//   P_th(V, T) = P_th,Debye(V, T) + A (V/V0)^m (T^2 - Tr^2).
// The embedded Debye model uses Cvmax = 3 n R, the integrated Grueneisen law
// and Tr as its reference, so both terms vanish at Tr. Its Tr is the model's
// reference temperature.

#include <cmath>

#include "core/error.hpp"
#include "core/parameter_table.hpp"
#include "core/rt_model.hpp"
#include "core/thermal/mie_gruneisen.hpp"
#include "core/thermal/thermal_eos.hpp"

namespace nivaltus::thermal {

struct DebyeQuadraticThermalPressure : ThermalEos<DebyeQuadraticThermalPressure> {
  RtModel reference;
  MieGruneisenDebye debye;  // holds its own copy of the same reference
  double A;
  double m;

  // Tr, theta0, gamma0, q and n live in the embedded Debye model.
  static constexpr ParameterTable<DebyeQuadraticThermalPressure, 7> parameter_table() {
    return {{{"Tr", "tr", field<&DebyeQuadraticThermalPressure::debye, &MieGruneisenDebye::Tr>},
             {"theta0", "theta0", field<&DebyeQuadraticThermalPressure::debye, &MieGruneisenDebye::theta0>},
             {"gamma0", "gamma0", field<&DebyeQuadraticThermalPressure::debye, &MieGruneisenDebye::gamma0>},
             {"q", "q", field<&DebyeQuadraticThermalPressure::debye, &MieGruneisenDebye::q>},
             {"n", "n", field<&DebyeQuadraticThermalPressure::debye, &MieGruneisenDebye::n>},
             {"A", "a", field<&DebyeQuadraticThermalPressure::A>},
             {"m", "m", field<&DebyeQuadraticThermalPressure::m>}}};
  }

  // Checks Tr, theta0, gamma0, q, n (those of the Debye model), then A, m.
  static EosResult<DebyeQuadraticThermalPressure> make(const RtModel& reference, double Tr, double theta0,
                                                       double gamma0, double q, double n, double A,
                                                       double m) {
    const EosResult<MieGruneisenDebye> debye = build_mie_gruneisen_debye(reference, Tr, theta0, gamma0, q, n);
    if (!debye) return std::unexpected(debye.error());
    if (!is_finite(A)) return fail_parameter("A", phrase::finite);
    if (!is_finite(m)) return fail_parameter("m", phrase::finite);
    return model_result<DebyeQuadraticThermalPressure>(reference, *debye, A, m);
  }

  double reference_temperature() const { return debye.Tr; }

  EosResult<double> thermal_pressure(double volume, double temperature) const {
    const EosResult<double> debye_part = debye.thermal_pressure(volume, temperature);
    if (!debye_part) return debye_part;
    const double x = volume / reference.v0();
    const double tr = debye.Tr;
    const double quadratic = (std::pow(x, m) * A) * (temperature * temperature - tr * tr);
    return finite_result(*debye_part + quadratic);
  }
};

}  // namespace nivaltus::thermal
