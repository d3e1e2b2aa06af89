#pragma once
// Thermal reference state: the solid at temperature T is an isothermal model
// of the reference's kind whose V0, K0 and, optionally, K0' have been moved
// from Tr to T (dT = T - Tr):
//   V0(T), by reference_volume_law:
//     integrated_expansivity  V0 exp(int_Tr^T alpha), with alpha by
//                             thermal_expansion_law:
//                               constant                      alpha0 dT
//                               linear_temperature            + alpha1 (T^2 - Tr^2)/2
//                               linear_reference_temperature  + alpha1 dT^2/2
//     linear_temperature      V0 (1 + alpha0 dT)
//     berman                  V0 (1 + alpha0 dT + alpha1 dT^2/2)
//   K0(T), by bulk_modulus_law:
//     linear_temperature      K0 + dK_dT dT
//     reciprocal_cubic        1/K = 1/K0 + beta1 dT + beta2 (T^2 - Tr^2) + beta3 (T^3 - Tr^3)
//   K0'(T) = K0' + kprime_log_coefficient dT ln(T/Tr)
// P(V, T) is the pressure of that model at V; the thermal pressure is its
// difference from the reference pressure at V.

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/error.hpp"
#include "core/name_table.hpp"
#include "core/parameter_table.hpp"
#include "core/rt_model.hpp"
#include "core/thermal/thermal_eos.hpp"

namespace nivaltus::thermal {

enum class ThermalExpansionLaw : std::uint8_t {
  constant = 0,
  linear_temperature = 1,
  linear_reference_temperature = 2,
};

enum class ReferenceVolumeLaw : std::uint8_t {
  integrated_expansivity = 0,
  linear_temperature = 1,
  berman = 2,
};

// linear_temperature, or reciprocal_cubic with its three coefficients (zero
// under the linear law).
struct BulkModulusLaw {
  enum class Kind : std::uint8_t {
    linear_temperature = 0,
    reciprocal_cubic = 1,
  };
  Kind kind = Kind::linear_temperature;
  double beta1 = 0.0;
  double beta2 = 0.0;
  double beta3 = 0.0;

  static constexpr BulkModulusLaw linear_temperature() { return {}; }
  static constexpr BulkModulusLaw reciprocal_cubic(double beta1, double beta2, double beta3) {
    return {Kind::reciprocal_cubic, beta1, beta2, beta3};
  }
};

// The laws by their names, compared exactly; nullopt for any other text.
inline constexpr NameTable<ThermalExpansionLaw, 3> thermal_expansion_law_names{{
    {"constant", ThermalExpansionLaw::constant},
    {"linear_temperature", ThermalExpansionLaw::linear_temperature},
    {"linear_reference_temperature", ThermalExpansionLaw::linear_reference_temperature},
}};

inline constexpr NameTable<ReferenceVolumeLaw, 3> reference_volume_law_names{{
    {"integrated_expansivity", ReferenceVolumeLaw::integrated_expansivity},
    {"linear_temperature", ReferenceVolumeLaw::linear_temperature},
    {"berman", ReferenceVolumeLaw::berman},
}};

inline constexpr NameTable<BulkModulusLaw::Kind, 2> bulk_modulus_law_names{{
    {"linear_temperature", BulkModulusLaw::Kind::linear_temperature},
    {"reciprocal_cubic", BulkModulusLaw::Kind::reciprocal_cubic},
}};

constexpr std::optional<ThermalExpansionLaw> thermal_expansion_law_from_name(std::string_view name) {
  return value_from_name(thermal_expansion_law_names, name);
}

constexpr std::optional<ReferenceVolumeLaw> reference_volume_law_from_name(std::string_view name) {
  return value_from_name(reference_volume_law_names, name);
}

constexpr std::optional<BulkModulusLaw::Kind> bulk_modulus_law_from_name(std::string_view name) {
  return value_from_name(bulk_modulus_law_names, name);
}

struct ThermalReferenceState : ThermalEos<ThermalReferenceState> {
  RtModel reference;  // kept at Tr, never shifted
  double Tr;
  double alpha0;
  double dK_dT;
  double alpha1;
  ThermalExpansionLaw thermal_expansion_law;
  ReferenceVolumeLaw reference_volume_law;
  BulkModulusLaw bulk_modulus_law;
  double kprime_log_coefficient;

  // The betas belong to the bulk-modulus law and are zero under the linear
  // law.
  static constexpr ParameterTable<ThermalReferenceState, 8> parameter_table() {
    using Model = ThermalReferenceState;
    return {{{"Tr", "tr", field<&Model::Tr>},
             {"alpha0", "alpha0", field<&Model::alpha0>},
             {"dK_dT", "dk_dt", field<&Model::dK_dT>},
             {"alpha1", "alpha1", field<&Model::alpha1>, python_default(0.0)},
             {"beta1", "beta1", field<&Model::bulk_modulus_law, &BulkModulusLaw::beta1>, python_default(0.0)},
             {"beta2", "beta2", field<&Model::bulk_modulus_law, &BulkModulusLaw::beta2>, python_default(0.0)},
             {"beta3", "beta3", field<&Model::bulk_modulus_law, &BulkModulusLaw::beta3>, python_default(0.0)},
             {"kprime_log_coefficient", "kprime_log_coefficient", field<&Model::kprime_log_coefficient>,
              python_default(0.0)}}};
  }

  // The expansion and volume laws; the bulk modulus stays on the linear law
  // with no K0' shift until with_temperature_laws.
  static EosResult<ThermalReferenceState> make(const RtModel& reference, double Tr, double alpha0,
                                               double dK_dT, double alpha1,
                                               ThermalExpansionLaw thermal_expansion_law,
                                               ReferenceVolumeLaw reference_volume_law);

  // The model with its bulk-modulus law and K0' coefficient replaced. The
  // reference must accept a K0' shift by the coefficient itself; that shifted
  // model is only a test and is not kept.
  static EosResult<ThermalReferenceState> with_temperature_laws(ThermalReferenceState model,
                                                                BulkModulusLaw bulk_modulus_law,
                                                                double kprime_log_coefficient);

  // The isothermal model at T, built afresh by the reference kind's own
  // checks.
  EosResult<RtModel> state_eos(double temperature) const;

  // P_T(V) - P_ref(V); exactly 0 at Tr under the linear bulk-modulus law.
  EosResult<double> thermal_pressure(double volume, double temperature) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const EosResult<RtModel> state = state_eos(temperature);
    if (!state) return std::unexpected(state.error());
    const EosResult<double> at_t = state->pressure(volume);
    if (!at_t) return at_t;
    const EosResult<double> at_tr = reference.pressure(volume);
    if (!at_tr) return at_tr;
    return finite_result(*at_t - *at_tr);
  }

  // K of the model at T, in closed form: the step is checked but not used,
  // and the volume is checked by the isothermal model.
  EosResult<double> bulk_modulus(double volume, double temperature, double relative_step) const {
    if (!is_positive_finite(relative_step)) return fail_state("relative_step", phrase::positive_finite);
    const EosResult<RtModel> state = state_eos(temperature);
    if (!state) return std::unexpected(state.error());
    return state->bulk_modulus(volume);
  }
};

}  // namespace nivaltus::thermal
