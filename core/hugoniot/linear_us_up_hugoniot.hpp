#pragma once
// Shock Hugoniot of a material whose shock velocity grows linearly with the
// particle velocity, Us = c0 + s up, from the reference state (V0, rho0, P0).
// eta = 1 - V / V0 is the compression; the states exist while s eta < 1.

#include <string>

#include "core/error.hpp"

namespace nivaltus::hugoniot {

// A particle velocity must be finite (InvalidParameter "particle_velocity")
// and non-negative, -0.0 included (InvalidState "particle_velocity").
EosResult<double> checked_particle_velocity(double up);

struct LinearUsUpHugoniot {
  double v0;
  double rho0;
  double c0;
  double s;
  double p0;

  // V0, rho0, c0 and s positive and finite, P0 finite, checked in that order
  // (InvalidParameter "V0", "rho0", "c0", "s", "P0").
  static EosResult<LinearUsUpHugoniot> make(double v0, double rho0, double c0, double s, double p0);

  // Volume operations: V must be positive and finite and must not exceed V0
  // (InvalidState "volume"); s eta >= 1 is OutsideInvertibleRange.
  EosResult<double> pressure(double volume) const;
  EosResult<double> density(double volume) const;
  EosResult<double> shock_velocity(double volume) const;
  EosResult<double> particle_velocity(double volume) const;
  EosResult<double> tangent_modulus(double volume) const;
  EosResult<double> specific_internal_energy_change(double volume) const;

  // up must be finite (InvalidParameter "particle_velocity") and non-negative
  // (InvalidState "particle_velocity").
  EosResult<double> volume_from_particle_velocity(double particle_velocity) const;
  EosResult<double> pressure_from_particle_velocity(double particle_velocity) const;
  EosResult<double> shock_velocity_from_particle_velocity(double particle_velocity) const;

  // The volume at which the Hugoniot pressure is P: P must be finite
  // (InvalidParameter "pressure"); below P0, or where no compression state
  // has that pressure, OutsideInvertibleRange.
  EosResult<double> volume_at_pressure(double pressure) const;

  // "LinearUsUpHugoniot { v0: 0.25, rho0: 4.0, c0: 5.0, s: 1.5, p0: 0.0 }"
  std::string debug_text() const;
};

}  // namespace nivaltus::hugoniot
