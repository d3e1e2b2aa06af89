#include "core/hugoniot/linear_us_up_hugoniot.hpp"

#include <cmath>

#include "core/format_number.hpp"

namespace nivaltus::hugoniot {
namespace {

EosResult<double> outside_range() { return std::unexpected(EosError::outside_invertible_range()); }

// The compression eta = 1 - V/V0 that opens every volume operation, after the
// checks of V; s eta >= 1 (1 - s eta <= 0) has no state.
EosResult<double> compression(double volume, double v0, double s) {
  if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
  if (volume > v0) return fail_state("volume", "must not exceed V0 on a compression Hugoniot");
  const double eta = 1.0 - (volume / v0);
  if (s * eta >= 1.0) return outside_range();
  return eta;
}

// x = (P - P0)/(rho0 c0^2) where rho0 c0^2 overflows. With u = m 2^e for
// u = (P - P0)/2, rho0 and c0 (frexp, m in [0.5, 1)),
//   x = [m_u / ((m_rho0 m_c0) m_c0)] 2^(e_u + 1 - e_rho0 - 2 e_c0):
// the bracket lies in (0.5, 8), so only the final scaling can leave the
// range of doubles, and then only where x itself does. P - P0 is halved
// first because it may overflow too (P0 < 0); halving is exact above the
// subnormals, where x would be 0 anyway.
double overflow_safe_strain(double pressure, double p0, double rho0, double c0) {
  int e_u = 0;
  int e_rho0 = 0;
  int e_c0 = 0;
  const double m_u = std::frexp(pressure * 0.5 - p0 * 0.5, &e_u);
  const double m_rho0 = std::frexp(rho0, &e_rho0);
  const double m_c0 = std::frexp(c0, &e_c0);
  return std::ldexp(m_u / ((m_rho0 * m_c0) * m_c0), e_u + 1 - e_rho0 - 2 * e_c0);
}

}  // namespace

EosResult<double> checked_particle_velocity(double up) {
  if (!is_finite(up)) return fail_parameter("particle_velocity", phrase::finite);
  if (!is_non_negative(up)) return fail_state("particle_velocity", phrase::non_negative);
  return up;
}

EosResult<LinearUsUpHugoniot> LinearUsUpHugoniot::make(double v0, double rho0, double c0, double s,
                                                       double p0) {
  if (!is_positive_finite(v0)) return fail_parameter("V0", phrase::positive_finite);
  if (!is_positive_finite(rho0)) return fail_parameter("rho0", phrase::positive_finite);
  if (!is_positive_finite(c0)) return fail_parameter("c0", phrase::positive_finite);
  if (!is_positive_finite(s)) return fail_parameter("s", phrase::positive_finite);
  if (!is_finite(p0)) return fail_parameter("P0", phrase::finite);
  return LinearUsUpHugoniot{v0, rho0, c0, s, p0};
}

// P = eta rho0 c0^2 / (1 - s eta)^2 + P0
EosResult<double> LinearUsUpHugoniot::pressure(double volume) const {
  const EosResult<double> eta = compression(volume, v0, s);
  if (!eta) return eta;
  const double d = 1.0 - s * *eta;
  return finite_result(*eta * (rho0 * c0 * c0) / (d * d) + p0);
}

// Us = c0 / (1 - eta s)
EosResult<double> LinearUsUpHugoniot::shock_velocity(double volume) const {
  const EosResult<double> eta = compression(volume, v0, s);
  if (!eta) return eta;
  return finite_result(c0 / (1.0 - *eta * s));
}

// up = eta c0 / (1 - s eta)
EosResult<double> LinearUsUpHugoniot::particle_velocity(double volume) const {
  const EosResult<double> eta = compression(volume, v0, s);
  if (!eta) return eta;
  return finite_result(*eta * c0 / (1.0 - s * *eta));
}

// K = -V dP/dV = (1 - eta) rho0 c0^2 (1 + s eta) / (1 - s eta)^3, with
// 1 - eta = V / V0.
EosResult<double> LinearUsUpHugoniot::tangent_modulus(double volume) const {
  const EosResult<double> eta = compression(volume, v0, s);
  if (!eta) return eta;
  const double e = s * *eta;
  const double d = 1.0 - e;
  return finite_result((1.0 - *eta) * rho0 * c0 * c0 * (e + 1.0) / (d * d * d));
}

// rho = V0 rho0 / V; rho0 and V0 are independent parameters.
EosResult<double> LinearUsUpHugoniot::density(double volume) const {
  const EosResult<double> eta = compression(volume, v0, s);
  if (!eta) return eta;
  return finite_result(v0 * rho0 / volume);
}

// Rankine-Hugoniot energy jump E = (1/rho0 - 1/rho) (P0 + P_H) / 2.
EosResult<double> LinearUsUpHugoniot::specific_internal_energy_change(double volume) const {
  const EosResult<double> rho = density(volume);
  if (!rho) return rho;
  const EosResult<double> p_h = pressure(volume);
  if (!p_h) return p_h;
  return finite_result((1.0 / rho0 - 1.0 / *rho) * ((p0 + *p_h) * 0.5));
}

// Us = up s + c0.
EosResult<double> LinearUsUpHugoniot::shock_velocity_from_particle_velocity(double particle_velocity) const {
  if (auto checked = checked_particle_velocity(particle_velocity); !checked) return checked;
  return finite_result(particle_velocity * s + c0);
}

// V = (1 - up / Us) V0; no volume exists once up / Us reaches 1 (s < 1,
// up >= c0 / (1 - s)).
EosResult<double> LinearUsUpHugoniot::volume_from_particle_velocity(double particle_velocity) const {
  const EosResult<double> us = shock_velocity_from_particle_velocity(particle_velocity);
  if (!us) return us;
  const double volume = (1.0 - particle_velocity / *us) * v0;
  if (!is_positive_finite(volume)) return outside_range();
  return volume;
}

// P = up Us rho0 + P0, with no volume limit.
EosResult<double> LinearUsUpHugoniot::pressure_from_particle_velocity(double particle_velocity) const {
  const EosResult<double> us = shock_velocity_from_particle_velocity(particle_velocity);
  if (!us) return us;
  return finite_result(particle_velocity * (*us * rho0) + p0);
}

// Inverse of P(V) = P0 + eta rho0 c0^2 / (1 - s eta)^2. With x = (P - P0) /
// (rho0 c0^2), x (1 - s eta)^2 = eta has the compression-branch root
//   eta = 2x / (sqrt(4 s x + 1) + (2 s x + 1)),
// written without the cancellation of the textbook form. Where 4 s x or 2 x
// overflows, numerator and denominator divided by x give the same root,
//   eta = 2 / (sqrt(4 s / x + 1 / x^2) + (2 s + 1 / x)),
// which tends to 1/s instead of collapsing to inf/inf or 2x/inf = 0 (V0).
// Where rho0 c0^2 itself overflows, x is still below 2 and keeps its digits
// wherever it is representable, but no order of plain divisions by rho0, c0
// and c0 is safe for every rho0 and c0: (P - P0)/rho0 overflows for rho0 < 1,
// and dividing by a large c0 first can underflow. x is therefore formed from
// the mantissas and the binary exponents apart (overflow_safe_strain).
EosResult<double> LinearUsUpHugoniot::volume_at_pressure(double pressure) const {
  if (!is_finite(pressure)) return fail_parameter("pressure", phrase::finite);
  if (pressure < p0) return outside_range();
  const double stiffness = (rho0 * c0) * c0;
  const double x = is_finite(stiffness) ? (pressure - p0) / stiffness : overflow_safe_strain(pressure, p0, rho0, c0);
  double eta = 0.0;
  if (x != 0.0) {
    const double numerator = x + x;
    const double denominator = std::sqrt((s * 4.0) * x + 1.0) + ((s + s) * x + 1.0);
    eta = is_finite(numerator) && is_finite(denominator)
              ? numerator / denominator
              : 2.0 / (std::sqrt((s * 4.0) / x + 1.0 / (x * x)) + ((s + s) + 1.0 / x));
  }
  const double volume = (1.0 - eta) * v0;
  if (!is_positive_finite(volume) || s * eta >= 1.0) return outside_range();
  return volume;
}

std::string LinearUsUpHugoniot::debug_text() const {
  std::string text = "LinearUsUpHugoniot { v0: ";
  text += format_number(v0);
  text += ", rho0: ";
  text += format_number(rho0);
  text += ", c0: ";
  text += format_number(c0);
  text += ", s: ";
  text += format_number(s);
  text += ", p0: ";
  text += format_number(p0);
  text += " }";
  return text;
}

}  // namespace nivaltus::hugoniot
