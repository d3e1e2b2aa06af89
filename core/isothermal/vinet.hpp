#pragma once
// Vinet: x = cbrt(V/V0), eta = 1.5 (K0' - 1), E = exp((1 - x) eta)
//   P = 3 K0 (1 - x) / x^2 E
//   K = K0 / x^2 ((1 + eta x)(1 - x) + 1) E

#include <cmath>

#include "core/error.hpp"
#include "core/isothermal/reference_parameters.hpp"

namespace nivaltus::isothermal {

struct Vinet {
  double v0;
  double k0;
  double k0_prime;

  static constexpr auto parameter_table() { return v0_k0_k0_prime_parameters<Vinet>(); }

  static EosResult<Vinet> make(double v0, double k0, double k0_prime) {
    return checked_reference_record<Vinet>(v0, k0, k0_prime);
  }

  EosResult<double> pressure(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const double x = std::cbrt(volume / v0);
    const double eta = 1.5 * (k0_prime - 1.0);
    const double e = std::exp((1.0 - x) * eta);
    return finite_result(3.0 * k0 * (1.0 - x) / (x * x) * e);
  }

  EosResult<double> bulk_modulus(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const double x = std::cbrt(volume / v0);
    const double eta = 1.5 * (k0_prime - 1.0);
    const double e = std::exp((1.0 - x) * eta);
    return finite_result(k0 / (x * x) * ((1.0 + eta * x) * (1.0 - x) + 1.0) * e);
  }

  EosResult<Vinet> with_pressure_derivative_shift(double shift) const {
    return make(v0, k0, k0_prime + shift);
  }
};

}  // namespace nivaltus::isothermal
