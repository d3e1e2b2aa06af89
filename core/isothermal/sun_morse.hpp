#pragma once
// Sun–Morse of order k (3 or 4): eta = (k K0' + 1)/3, x = (V/V0)^(1/k),
// E = exp((1 - x) eta)
//   P = (E^2 - E) (k K0 / eta)
//   K = (2 E^2 - E) (K0 x)
// The form divides by eta, so eta = 0 (to within machine epsilon) is refused.
// x is taken with pow and the exponents 0.3333333333333333 and 0.25.

#include <cmath>

#include "core/error.hpp"
#include "core/isothermal/reference_parameters.hpp"

namespace nivaltus::isothermal {

namespace sun_morse_detail {

inline constexpr std::string_view singular_message = "Sun-Morse requires (n*K0_prime+1)/3 != 0";

// Order-specific constants: k, and the exponent 1/k written as a double.
template <int Order>
struct Constants;
template <>
struct Constants<3> {
  static constexpr double k = 3.0;
  static constexpr double inverse_k = 0.3333333333333333;
};
template <>
struct Constants<4> {
  static constexpr double k = 4.0;
  static constexpr double inverse_k = 0.25;
};

template <int Order>
double eta(double k0_prime) {
  return (Constants<Order>::k * k0_prime + 1.0) / 3.0;
}

template <int Order>
bool is_singular(double k0_prime) {
  return std::abs(eta<Order>(k0_prime)) <= machine_epsilon;
}

// The record type is a template so that SunMorse3 and SunMorse4 stay two
// distinct plain structs with identical fields.
template <int Order>
struct SunMorse {
  double v0;
  double k0;
  double k0_prime;

  static constexpr auto parameter_table() { return v0_k0_k0_prime_parameters<SunMorse>(); }

  static EosResult<SunMorse> make(double v0, double k0, double k0_prime) {
    if (auto bad = check_reference_parameters(v0, k0, k0_prime); !bad) return std::unexpected(bad.error());
    if (is_singular<Order>(k0_prime)) return fail_parameter("K0_prime", singular_message);
    return SunMorse{v0, k0, k0_prime};
  }

  EosResult<double> pressure(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    if (is_singular<Order>(k0_prime)) return fail_parameter("K0_prime", singular_message);
    const double h = eta<Order>(k0_prime);
    const double x = std::pow(volume / v0, Constants<Order>::inverse_k);
    const double e = std::exp((1.0 - x) * h);
    return finite_result((e * e - e) * (Constants<Order>::k * k0 / h));
  }

  EosResult<double> bulk_modulus(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    if (is_singular<Order>(k0_prime)) return fail_parameter("K0_prime", singular_message);
    const double h = eta<Order>(k0_prime);
    const double x = std::pow(volume / v0, Constants<Order>::inverse_k);
    const double e = std::exp((1.0 - x) * h);
    return finite_result((2.0 * e * e - e) * (k0 * x));
  }

  EosResult<SunMorse> with_pressure_derivative_shift(double shift) const {
    return make(v0, k0, k0_prime + shift);
  }
};

}  // namespace sun_morse_detail

using SunMorse3 = sun_morse_detail::SunMorse<3>;
using SunMorse4 = sun_morse_detail::SunMorse<4>;

}  // namespace nivaltus::isothermal
