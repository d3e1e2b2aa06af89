#pragma once
// Rydberg–Stacey: x = cbrt(V/V0), eta = 1.5 K0' - 3 Kinf' + 0.5,
// E = exp((1 - x) eta), w = x^(-3 Kinf')
//   P = 3 K0 w (1 - x) E
//   K = K0 w E (eta x (1 - x) + 3 Kinf' (1 - x) + x)

#include <cmath>

#include "core/error.hpp"

namespace nivaltus::isothermal {

struct RydbergStacey {
  double v0;
  double k0;
  double k0_prime;
  double k_infinity_prime;

  static EosResult<RydbergStacey> make(double v0, double k0, double k0_prime, double k_infinity_prime) {
    if (!is_positive_finite(v0)) return fail_parameter("V0", phrase::positive_finite);
    if (!is_positive_finite(k0)) return fail_parameter("K0", phrase::positive_finite);
    if (!is_finite(k0_prime)) return fail_parameter("K0_prime", phrase::finite);
    if (!is_finite(k_infinity_prime)) return fail_parameter("K_infinity_prime", phrase::finite);
    return RydbergStacey{v0, k0, k0_prime, k_infinity_prime};
  }

  EosResult<double> pressure(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const double x = std::cbrt(volume / v0);
    const double eta = 1.5 * k0_prime - 3.0 * k_infinity_prime + 0.5;
    const double e = std::exp((1.0 - x) * eta);
    const double w = std::pow(x, -3.0 * k_infinity_prime);
    return finite_result(3.0 * k0 * w * (1.0 - x) * e);
  }

  EosResult<double> bulk_modulus(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const double x = std::cbrt(volume / v0);
    const double eta = 1.5 * k0_prime - 3.0 * k_infinity_prime + 0.5;
    const double e = std::exp((1.0 - x) * eta);
    const double w = std::pow(x, -3.0 * k_infinity_prime);
    return finite_result(k0 * w * e * (eta * x * (1.0 - x) + 3.0 * k_infinity_prime * (1.0 - x) + x));
  }
};

}  // namespace nivaltus::isothermal
