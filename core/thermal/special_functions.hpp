#pragma once
// Oscillator energies and integrals of the vibrational thermal models.
// expm1 and log1p keep full precision where theta/T or theta/(d T) is small.

#include <cmath>

#include "core/error.hpp"
#include "core/thermal/debye_function_3_table.hpp"
#include "core/thermal/thermal_eos.hpp"

namespace nivaltus::thermal {

// Thermal energy of 3n Einstein oscillators without zero-point energy,
// E = 3 n R theta / (e^(theta/T) - 1), formed as (c e^y) / expm1(y) with
// c = -3 n R theta and y = -theta/T; e^y underflowing to 0 gives E = 0.
// theta and n are not validated: theta = 0 is the 0/0 NonFiniteResult.
inline EosResult<double> einstein_energy(double theta, double n, double temperature) {
  if (!is_positive_finite(temperature)) return fail_state("temperature", phrase::positive_finite);
  const double c = ((n * -3.0) * gas_constant) * theta;
  const double y = -theta / temperature;
  return finite_result((c * std::exp(y)) / std::expm1(y));
}

// One mode of the Bose-type oscillator with exponent d, in units of theta:
//   E = theta (d - 1) / (2d) + theta / ((1 + theta/(dT)) ((1 + theta/(dT))^d - 1)),
// with e = (1 + theta/(dT))^(-d) = exp(-d log1p(theta/(T d))) and r = e / (1 - e).
inline EosResult<double> bose_mode_energy(double theta, double temperature, double d) {
  if (!is_positive_finite(temperature)) return fail_state("temperature", phrase::positive_finite);
  const double u = std::log1p(theta / (temperature * d));
  const double w = -(u * d);
  const double e = std::exp(w);
  const double m = -std::expm1(w);
  const double r = e / m;
  return finite_result((theta * (d - 1.0)) / (d + d) +
                       (r * ((temperature * theta) * d)) / (temperature * d + theta));
}

// Einstein mode energy with its zero-point term, theta/2 + theta/(e^(theta/T) - 1).
inline EosResult<double> sokolova_einstein_energy(double theta, double temperature) {
  if (!is_positive_finite(temperature)) return fail_state("temperature", phrase::positive_finite);
  const double y = -theta / temperature;
  return finite_result(0.5 * theta - (std::exp(y) * theta) / std::expm1(y));
}

inline constexpr double debye_series_threshold = 0.001;
inline constexpr double debye_asymptote_threshold = 150.0;
inline constexpr double pi_to_the_fourth = 97.40909103400242;
// int_0^inf t^3/(e^t - 1) dt = pi^4/15, as the double nearest to it.
inline constexpr double debye_integral_limit = 6.493939402266829;

namespace debye_detail {

// D3 on [0, 12) from the generated table: a degree-9 polynomial in
// s = (x - c_i)/h on the interval i = floor(x/0.5) of midpoint c_i and
// half-width h = 0.25, evaluated by Horner's rule.
inline double d3_from_table(double x) {
  const int i = static_cast<int>(x * debye_table::inverse_interval_width);
  const double centre = (static_cast<double>(i) + 0.5) * debye_table::interval_width;
  const double s = (x - centre) * debye_table::inverse_half_width;
  const double* c = debye_table::coefficients[i];
  double p = c[debye_table::degree];
  for (int k = debye_table::degree - 1; k >= 0; --k) p = p * s + c[k];
  return p;
}

// D3 on [12, 150] from the tail of the integral, q = e^-x:
//   int_0^x t^3/(e^t - 1) dt = pi^4/15 - sum_k q^k (x^3/k + 3x^2/k^2 + 6x/k^3 + 6/k^4).
// For x >= 12 the fifth term is below 1e-20 of the integral, so four are kept.
inline double d3_from_tail(double x) {
  constexpr double inverse_k[4] = {1.0, 0.5, 1.0 / 3.0, 0.25};
  const double q = std::exp(-x);
  const double x2 = x * x;
  const double x3 = x2 * x;
  double qk = 1.0;
  double tail = 0.0;
  for (const double r : inverse_k) {
    qk = qk * q;
    tail = tail + qk * ((((6.0 * r + 6.0 * x) * r + 3.0 * x2) * r + x3) * r);
  }
  return (3.0 * (debye_integral_limit - tail)) / x3;
}

}  // namespace debye_detail

// D3(x) = (3/x^3) int_0^x t^3/(e^t - 1) dt.
//   x < 0.001:        the series 1 - 3x/8 + x^2/20 - x^4/1680;
//   0.001 <= x < 12:  the tabulated Chebyshev polynomials;
//   12 <= x <= 150:   pi^4/15 less the exponentially small tail;
//   x > 150:          the asymptote pi^4/(5 x^3) (the integral has reached pi^4/15).
// Between 0.001 and 150 the result is within 2.1e-16 relative of D3 on the
// table and 2.9e-16 on the tail (the worst of 675 points against 40 digits).
inline EosResult<double> debye_function_3(double x) {
  if (!is_positive_finite(x)) return fail_state("Debye-function argument", phrase::positive_finite);
  if (x < debye_series_threshold) {
    return (((-3.0 * x) * 0.125 + 1.0) + (x * x) / 20.0) + ((x * x) * (x * x)) / -1680.0;
  }
  if (x > debye_asymptote_threshold) return pi_to_the_fourth / ((x * x * x) * 5.0);
  if (x < debye_table::upper_end) return debye_detail::d3_from_table(x);
  return debye_detail::d3_from_tail(x);
}

// Thermal energy of a Debye solid of n atoms, E = T (3 n R) D3(theta/T), for
// a temperature its caller has checked; D3 reports a theta/T that is not
// positive and finite.
inline EosResult<double> debye_energy(double theta, double n, double temperature) {
  const EosResult<double> d = debye_function_3(theta / temperature);
  if (!d) return d;
  return finite_result(temperature * ((n * 3.0) * gas_constant) * *d);
}

// The multi-oscillator Grueneisen parameter at the volume ratio x, with P, K,
// K' of the reference model at x V0:
//   u = c2 - x^(1/3) c3,
//   gamma = (2uP - 3K + 9K K' - 6uK) / (6 (3K - 2uP)) + c1.
// No argument is validated and gamma itself is not tested. The denominator
// 6 (3K - 2uP) is 18 K0 > 0 at V0; where it is not positive it has passed
// through zero between V0 and x V0, so the integral of gamma/x over that
// interval runs through a pole and does not exist: NonFiniteResult, as for
// 3K = 2uP itself.
inline EosResult<double> sokolova_gruneisen_parameter(double x, double pressure, double bulk_modulus,
                                                      double bulk_modulus_derivative, double c1, double c2,
                                                      double c3) {
  const double s = std::cbrt(x);
  const double u = c2 - s * c3;
  const double denominator = (3.0 * bulk_modulus - u * (2.0 * pressure)) * 6.0;
  if (!(denominator > 0.0)) return std::unexpected(EosError::non_finite_result());
  const double numerator =
      ((u * (2.0 * pressure) - 3.0 * bulk_modulus) + bulk_modulus_derivative * (9.0 * bulk_modulus)) -
      (u * 6.0) * bulk_modulus;
  return numerator / denominator + c1;
}

// gamma(x)/x, the integrand of the multi-oscillator Grueneisen integral.
inline EosResult<double> sokolova_gruneisen_integrand(double x, double pressure, double bulk_modulus,
                                                      double bulk_modulus_derivative, double c1, double c2,
                                                      double c3) {
  const EosResult<double> gamma =
      sokolova_gruneisen_parameter(x, pressure, bulk_modulus, bulk_modulus_derivative, c1, c2, c3);
  if (!gamma) return gamma;
  return finite_result(*gamma / x);
}

}  // namespace nivaltus::thermal
