#pragma once
// Morse3: a = K0' - 1, x = cbrt(V/V0), E = exp((1 - x) a)
//   P = (E^2 - E) (3 K0 / (x^2 a))
//   K = ((E^2 - E) 2 / x^2 + (2 E^2 - E) a / x) (K0 / a)
// The form divides by a, so K0' = 1 (to within machine epsilon) is refused.

#include <cmath>

#include "core/error.hpp"
#include "core/isothermal/reference_parameters.hpp"

namespace nivaltus::isothermal {

struct Morse3 {
  double v0;
  double k0;
  double k0_prime;

  static constexpr auto parameter_table() { return v0_k0_k0_prime_parameters<Morse3>(); }

  static EosResult<Morse3> make(double v0, double k0, double k0_prime) {
    if (auto bad = check_reference_parameters(v0, k0, k0_prime); !bad) return std::unexpected(bad.error());
    return check_singular(Morse3{v0, k0, k0_prime});
  }

  EosResult<double> pressure(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    if (is_singular(k0_prime)) return singular_error();
    const double a = k0_prime - 1.0;
    const double x = std::cbrt(volume / v0);
    const double e = std::exp((1.0 - x) * a);
    return finite_result((e * e - e) * (3.0 * k0 / (x * x * a)));
  }

  EosResult<double> bulk_modulus(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    if (is_singular(k0_prime)) return singular_error();
    const double a = k0_prime - 1.0;
    const double x = std::cbrt(volume / v0);
    const double e = std::exp((1.0 - x) * a);
    return finite_result(((e * e - e) * 2.0 / (x * x) + (2.0 * e * e - e) * a / x) * (k0 / a));
  }

  EosResult<Morse3> with_pressure_derivative_shift(double shift) const {
    return make(v0, k0, k0_prime + shift);
  }

 private:
  static bool is_singular(double k0_prime) { return std::abs(k0_prime - 1.0) <= machine_epsilon; }
  static std::unexpected<EosError> singular_error() {
    return fail_parameter("K0_prime", "Morse3 requires K0_prime != 1");
  }
  static EosResult<Morse3> check_singular(const Morse3& model) {
    if (is_singular(model.k0_prime)) return singular_error();
    return model;
  }
};

}  // namespace nivaltus::isothermal
