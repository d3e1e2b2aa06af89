#pragma once
// Closed-form thermal-pressure laws over an RtModel reference, with no
// oscillator or heat-capacity model behind them:
//   Linear:            P_th = alpha_KT (T - Tr)
//   LogVolume:         P_th = (alpha_KT_ref + dK_dT_V ln(V0/V)) (T - Tr)
//   SecondOrderTaylor: P_th = c0 + c1 s + c2 t + c3 s^2/2 + c4 t^2/2 + c5 s t/2,
//                      s = (1 - V/V0) - eta0, t = T - Tr
// Every law checks V, then T.

#include <cmath>

#include "core/error.hpp"
#include "core/parameter_table.hpp"
#include "core/rt_model.hpp"
#include "core/thermal/thermal_eos.hpp"

namespace nivaltus::thermal {

struct LinearThermalPressure : ThermalEos<LinearThermalPressure> {
  RtModel reference;
  double Tr;
  double alpha_KT;

  static constexpr ParameterTable<LinearThermalPressure, 2> parameter_table() {
    return {{{"Tr", "tr", field<&LinearThermalPressure::Tr>},
             {"alpha_KT", "alpha_kt", field<&LinearThermalPressure::alpha_KT>}}};
  }

  static EosResult<LinearThermalPressure> make(const RtModel& reference, double Tr, double alpha_KT) {
    if (!is_positive_finite(Tr)) return fail_parameter("Tr", phrase::positive_finite);
    if (!is_finite(alpha_KT)) return fail_parameter("alpha_KT", phrase::finite);
    return model_result<LinearThermalPressure>(reference, Tr, alpha_KT);
  }

  // The volume is checked but takes no part in the value.
  EosResult<double> thermal_pressure(double volume, double temperature) const {
    if (auto bad = check_state(volume, temperature); !bad) return std::unexpected(bad.error());
    return finite_result((temperature - Tr) * alpha_KT);
  }
};

struct LogVolumeThermalPressure : ThermalEos<LogVolumeThermalPressure> {
  RtModel reference;
  double Tr;
  double alpha_KT_ref;
  double dK_dT_V;

  static constexpr ParameterTable<LogVolumeThermalPressure, 3> parameter_table() {
    return {{{"Tr", "tr", field<&LogVolumeThermalPressure::Tr>},
             {"alpha_KT_ref", "alpha_kt_ref", field<&LogVolumeThermalPressure::alpha_KT_ref>},
             {"dK_dT_V", "dk_dt_v", field<&LogVolumeThermalPressure::dK_dT_V>}}};
  }

  static EosResult<LogVolumeThermalPressure> make(const RtModel& reference, double Tr, double alpha_KT_ref,
                                                  double dK_dT_V) {
    if (!is_positive_finite(Tr)) return fail_parameter("Tr", phrase::positive_finite);
    if (!is_finite(alpha_KT_ref)) return fail_parameter("alpha_KT_ref", phrase::finite);
    if (!is_finite(dK_dT_V)) return fail_parameter("dK_dT_V", phrase::finite);
    return model_result<LogVolumeThermalPressure>(reference, Tr, alpha_KT_ref, dK_dT_V);
  }

  EosResult<double> thermal_pressure(double volume, double temperature) const {
    if (auto bad = check_state(volume, temperature); !bad) return std::unexpected(bad.error());
    return finite_result((std::log(reference.v0() / volume) * dK_dT_V + alpha_KT_ref) * (temperature - Tr));
  }
};

struct SecondOrderTaylorThermalPressure : ThermalEos<SecondOrderTaylorThermalPressure> {
  RtModel reference;
  double Tr;
  double eta0;
  double c0;
  double c1;
  double c2;
  double c3;
  double c4;
  double c5;

  static constexpr ParameterTable<SecondOrderTaylorThermalPressure, 8> parameter_table() {
    return {{{"Tr", "tr", field<&SecondOrderTaylorThermalPressure::Tr>},
             {"eta0", "eta0", field<&SecondOrderTaylorThermalPressure::eta0>},
             {"c0", "c0", field<&SecondOrderTaylorThermalPressure::c0>},
             {"c1", "c1", field<&SecondOrderTaylorThermalPressure::c1>},
             {"c2", "c2", field<&SecondOrderTaylorThermalPressure::c2>},
             {"c3", "c3", field<&SecondOrderTaylorThermalPressure::c3>},
             {"c4", "c4", field<&SecondOrderTaylorThermalPressure::c4>},
             {"c5", "c5", field<&SecondOrderTaylorThermalPressure::c5>}}};
  }

  static EosResult<SecondOrderTaylorThermalPressure> make(const RtModel& reference, double Tr, double eta0,
                                                          double c0, double c1, double c2, double c3,
                                                          double c4, double c5) {
    if (!is_positive_finite(Tr)) return fail_parameter("Tr", phrase::positive_finite);
    if (!is_finite(eta0)) return fail_parameter("eta0", phrase::finite);
    if (!is_finite(c0)) return fail_parameter("c0", phrase::finite);
    if (!is_finite(c1)) return fail_parameter("c1", phrase::finite);
    if (!is_finite(c2)) return fail_parameter("c2", phrase::finite);
    if (!is_finite(c3)) return fail_parameter("c3", phrase::finite);
    if (!is_finite(c4)) return fail_parameter("c4", phrase::finite);
    if (!is_finite(c5)) return fail_parameter("c5", phrase::finite);
    return model_result<SecondOrderTaylorThermalPressure>(reference, Tr, eta0, c0, c1, c2, c3, c4, c5);
  }

  // Summed left to right; 0.5 is multiplied into c3, c4 and c5 first, so the
  // mixed term is (c5/2) s t as well.
  EosResult<double> thermal_pressure(double volume, double temperature) const {
    if (auto bad = check_state(volume, temperature); !bad) return std::unexpected(bad.error());
    const double x = volume / reference.v0();
    const double s = (1.0 - x) - eta0;
    const double t = temperature - Tr;
    return finite_result(c0 + c1 * s + c2 * t + 0.5 * c3 * s * s + 0.5 * c4 * t * t + 0.5 * c5 * s * t);
  }

  // P_th(V, T) - P_th(V, Tr): the Taylor law does not vanish at Tr.
  EosResult<double> thermal_pressure_increment(double volume, double temperature) const {
    const EosResult<double> at_t = thermal_pressure(volume, temperature);
    if (!at_t) return at_t;
    const EosResult<double> at_tr = thermal_pressure(volume, Tr);
    if (!at_tr) return at_tr;
    return finite_result(*at_t - *at_tr);
  }
};

}  // namespace nivaltus::thermal
