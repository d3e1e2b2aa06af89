#pragma once
// One valid model of each of the thirteen thermal kinds, with MgO-like
// numbers over the shared BM3 reference (V0 = 11.24, K0 = 160, K0' = 4), in
// the order of ThermalModel::Kind.

#include <tuple>

#include "core/isothermal/modified_tait.hpp"
#include "core/thermal/thermal_model.hpp"
#include "tests/core/thermal/thermal_test_support.hpp"

namespace nivaltus::thermal_test {

inline thermal::Dewaele2006 dewaele_model() {
  return *thermal::Dewaele2006::make(bm3_reference(), 300.0, 800.0, 1.5, 0.5, 2.0, 2e-5, 2.0, 3e-5, 1.5, 2.0);
}

// Multiplicities 1 + 2 + 1.5 + 1.5 = 3n with n = 2.
inline thermal::DorogokupetsOganov2007 dorogokupets_oganov_model() {
  return *thermal::DorogokupetsOganov2007::make(bm3_reference(), 298.15, 700.0, 1.5, 1.0, 400.0, 2.5, 2.0,
                                                500.0, 1.5, 800.0, 1.5, 1.5, 0.8, 2.5, 12.0, 3.0, 20.0, 1.5,
                                                30000.0, 2.0, 2.0);
}

// Tr; Einstein modes QE1o, mE1, QE2o, mE2; delta, t; a_0, m; g, e_0; beta;
// Bose modes QBo, d, mb, QB1o, d1, mb1.
inline thermal::MultiOscillatorParameters multi_oscillator_parameters() {
  return {300.0, 500.0, 2.0, 900.0, 1.0, 0.1, 0.5,   10.0, 2.0,
          1.5,   20.0,  0.2, 300.0, 1.5, 2.0, 600.0, 2.0,  1.0};
}

inline thermal::MultiOscillatorGruneisen multi_oscillator_model() {
  return *thermal::MultiOscillatorGruneisen::new_with_atom_count(bm3_reference(),
                                                                 multi_oscillator_parameters(), 2.0);
}

// Integrated expansivity, linear in T; K0 and K0' both move with T (K0' by
// 0.19 at 1500).
inline thermal::ThermalReferenceState thermal_reference_state_model() {
  const auto state = *thermal::ThermalReferenceState::make(
      bm3_reference(), 300.0, 3e-5, -0.02, 1e-8, thermal::ThermalExpansionLaw::linear_temperature,
      thermal::ReferenceVolumeLaw::integrated_expansivity);
  return *thermal::ThermalReferenceState::with_temperature_laws(
      state, thermal::BulkModulusLaw::linear_temperature(), 1e-4);
}

// K0'' = -0.05 puts the modified Tait domain edge at V = 8/3 V0.
inline isothermal::ModifiedTait modified_tait_reference() {
  return *isothermal::ModifiedTait::make(11.24, 160.0, 4.0, -0.05);
}

inline auto all_thermal_models() {
  const RtModel ref = bm3_reference();
  return std::make_tuple(
      *thermal::AsymptoticPowerLawMieGruneisenDebye::make(ref, 300.0, 800.0, 1.5, 0.5, 2.0, 2.0),
      dewaele_model(), dorogokupets_oganov_model(), *thermal::LinearThermalPressure::make(ref, 300.0, 0.005),
      *thermal::DebyeQuadraticThermalPressure::make(ref, 300.0, 800.0, 1.5, 1.0, 2.0, 1e-7, 1.0),
      *thermal::LogVolumeThermalPressure::make(ref, 300.0, 0.005, 0.002),
      *thermal::SecondOrderTaylorThermalPressure::make(ref, 300.0, 0.0, 0.1, -0.5, 0.006, 0.3, 0.0, 0.002),
      *thermal::build_mie_gruneisen_debye(ref, 300.0, 800.0, 1.5, 1.0, 2.0),
      *thermal::build_mie_gruneisen_einstein(ref, 300.0, 600.0, 1.5, 1.0, 2.0),
      *thermal::HollandPowellThermalPressure<RtModel>::make(ref, 300.0, 700.0, 3e-5, 2.0),
      *thermal::HollandPowellThermalPressure<isothermal::ModifiedTait>::make(modified_tait_reference(), 300.0,
                                                                             700.0, 3e-5, 2.0),
      multi_oscillator_model(), thermal_reference_state_model());
}

}  // namespace nivaltus::thermal_test
