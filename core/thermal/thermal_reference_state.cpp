#include "core/thermal/thermal_reference_state.hpp"

#include <cmath>

namespace nivaltus::thermal {

EosResult<ThermalReferenceState> ThermalReferenceState::make(const RtModel& reference, double Tr,
                                                             double alpha0, double dK_dT, double alpha1,
                                                             ThermalExpansionLaw thermal_expansion_law,
                                                             ReferenceVolumeLaw reference_volume_law) {
  if (!is_positive_finite(Tr)) return fail_parameter("Tr", phrase::positive_finite);
  if (!is_finite(alpha0)) return fail_parameter("alpha0", phrase::finite);
  if (!is_finite(dK_dT)) return fail_parameter("dK_dT", phrase::finite);
  if (!is_finite(alpha1)) return fail_parameter("alpha1", phrase::finite);
  if (thermal_expansion_law == ThermalExpansionLaw::constant && alpha1 != 0.0) {
    return fail_parameter("alpha1", "must be zero for constant thermal expansion");
  }
  // alpha1 is already zero here whenever the expansion law is constant.
  if (reference_volume_law == ReferenceVolumeLaw::linear_temperature &&
      (alpha1 != 0.0 || thermal_expansion_law != ThermalExpansionLaw::constant)) {
    return fail_parameter("reference_volume_law",
                          "linear temperature volume requires constant expansivity configuration");
  }
  if (reference_volume_law == ReferenceVolumeLaw::berman &&
      thermal_expansion_law != ThermalExpansionLaw::linear_temperature) {
    return fail_parameter("reference_volume_law",
                          "Berman volume requires linear-temperature expansivity configuration");
  }
  return model_result<ThermalReferenceState>(reference, Tr, alpha0, dK_dT, alpha1, thermal_expansion_law,
                                             reference_volume_law, BulkModulusLaw::linear_temperature(), 0.0);
}

EosResult<ThermalReferenceState> ThermalReferenceState::with_temperature_laws(ThermalReferenceState model,
                                                                              BulkModulusLaw bulk_modulus_law,
                                                                              double kprime_log_coefficient) {
  if (bulk_modulus_law.kind == BulkModulusLaw::Kind::reciprocal_cubic) {
    if (!is_finite(bulk_modulus_law.beta1) || !is_finite(bulk_modulus_law.beta2) ||
        !is_finite(bulk_modulus_law.beta3)) {
      return fail_parameter("compressibility coefficient", phrase::finite);
    }
    if (model.dK_dT != 0.0) return fail_parameter("dK_dT", "must be zero with cubic compressibility");
  }
  if (!is_finite(kprime_log_coefficient)) return fail_parameter("kprime_log_coefficient", phrase::finite);
  const EosResult<RtModel> shifted = model.reference.with_pressure_derivative_shift(kprime_log_coefficient);
  if (!shifted) return std::unexpected(shifted.error());
  model.kprime_log_coefficient = kprime_log_coefficient;
  model.bulk_modulus_law =
      bulk_modulus_law.kind == BulkModulusLaw::Kind::reciprocal_cubic ? bulk_modulus_law : BulkModulusLaw{};
  return model;
}

EosResult<RtModel> ThermalReferenceState::state_eos(double temperature) const {
  if (!is_positive_finite(temperature)) return fail_state("temperature", phrase::positive_finite);
  const double t = temperature;
  const double dt = t - Tr;
  const double v0 = reference.v0();
  const double k0 = reference.k0();

  double volume = 0.0;
  switch (reference_volume_law) {
    case ReferenceVolumeLaw::integrated_expansivity: {
      double x = alpha0 * dt;
      switch (thermal_expansion_law) {
        case ThermalExpansionLaw::constant:
          break;
        case ThermalExpansionLaw::linear_temperature:
          x = x + (t * t - Tr * Tr) * (alpha1 * 0.5);
          break;
        case ThermalExpansionLaw::linear_reference_temperature:
          x = x + ((alpha1 * 0.5) * dt) * dt;
          break;
      }
      volume = std::exp(x) * v0;
      break;
    }
    case ReferenceVolumeLaw::linear_temperature:
      volume = (alpha0 * dt + 1.0) * v0;
      break;
    case ReferenceVolumeLaw::berman:
      volume = (((alpha1 * 0.5) * dt) * dt + (alpha0 * dt + 1.0)) * v0;
      break;
  }

  double bulk_modulus = 0.0;
  switch (bulk_modulus_law.kind) {
    case BulkModulusLaw::Kind::linear_temperature:
      bulk_modulus = dK_dT * dt + k0;
      break;
    case BulkModulusLaw::Kind::reciprocal_cubic: {
      const double compliance =
          bulk_modulus_law.beta3 * (t * (t * t) - Tr * (Tr * Tr)) +
          ((bulk_modulus_law.beta1 * dt + 1.0 / k0) + bulk_modulus_law.beta2 * (t * t - Tr * Tr));
      bulk_modulus = 1.0 / compliance;
      break;
    }
  }

  // Both are computed before either is tested: the volume message wins.
  if (!is_positive_finite(volume))
    return fail_state("temperature", "produces a non-positive reference volume");
  if (!is_positive_finite(bulk_modulus))
    return fail_state("temperature", "produces a non-positive bulk modulus");

  const EosResult<RtModel> moved = reference.with_reference_state(volume, bulk_modulus);
  if (!moved) return moved;
  const double shift = std::log(t / Tr) * ((t - Tr) * kprime_log_coefficient);
  return moved->with_pressure_derivative_shift(shift);
}

}  // namespace nivaltus::thermal
