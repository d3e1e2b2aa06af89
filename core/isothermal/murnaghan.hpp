#pragma once
// Murnaghan: L = ln(V0/V)
//   P = K0 expm1(K0' L) / K0'   (K0 L at K0' = 0, the limit of the same form)
//   K = K0 exp(K0' L)
// expm1 keeps small strains exact.

#include <cmath>

#include "core/error.hpp"
#include "core/isothermal/reference_parameters.hpp"

namespace nivaltus::isothermal {

struct Murnaghan {
  double v0;
  double k0;
  double k0_prime;

  static constexpr auto parameter_table() { return v0_k0_k0_prime_parameters<Murnaghan>(); }

  static EosResult<Murnaghan> make(double v0, double k0, double k0_prime) {
    return checked_reference_record<Murnaghan>(v0, k0, k0_prime);
  }

  EosResult<double> pressure(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const double l = std::log(v0 / volume);
    if (k0_prime == 0.0) return finite_result(k0 * l);
    return finite_result(k0 * std::expm1(k0_prime * l) / k0_prime);
  }

  EosResult<double> bulk_modulus(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const double l = std::log(v0 / volume);
    return finite_result(k0 * std::exp(k0_prime * l));
  }

  EosResult<Murnaghan> with_pressure_derivative_shift(double shift) const {
    return make(v0, k0, k0_prime + shift);
  }
};

}  // namespace nivaltus::isothermal
