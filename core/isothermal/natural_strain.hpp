#pragma once
// Natural (Hencky) strain family, r = V0/V and g = ln(r)/3:
//   P = 3 K0 r (g + a2 g^2 + a3 g^3)
//   K = K0 r (1 + (3 + 2 a2) g + (3 a2 + 3 a3) g^2 + 3 a3 g^3)
// with a2 = 1.5 (K0' - 2) from the third order on and
// a3 = 1.5 ((K0' - 2)^2 + (1 + K0 K0'') + (K0' - 2)) at fourth order. The
// lower orders run the same expression with zero coefficients, which changes
// no value for a finite g.

#include <cmath>

#include "core/error.hpp"
#include "core/isothermal/reference_parameters.hpp"

namespace nivaltus::isothermal {

namespace natural_strain_detail {

struct Strain {
  double r;   // V0/V
  double g;   // ln(r)/3
  double g2;  // g g
  double g3;  // g2 g
};

inline Strain strain(double v0, double volume) {
  const double r = v0 / volume;
  const double g = std::log(r) / 3.0;
  const double g2 = g * g;
  return {r, g, g2, g2 * g};
}

inline EosResult<double> pressure(double v0, double k0, double a2, double a3, double volume) {
  if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
  const auto [r, g, g2, g3] = strain(v0, volume);
  return finite_result(3.0 * k0 * r * (g + a2 * g2 + a3 * g3));
}

inline EosResult<double> bulk_modulus(double v0, double k0, double a2, double a3, double volume) {
  if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
  const auto [r, g, g2, g3] = strain(v0, volume);
  return finite_result(k0 * r * (1.0 + (3.0 + 2.0 * a2) * g + (3.0 * a2 + 3.0 * a3) * g2 + 3.0 * a3 * g3));
}

}  // namespace natural_strain_detail

struct NaturalStrain2 {
  double v0;
  double k0;

  static constexpr auto parameter_table() { return v0_k0_parameters<NaturalStrain2>(); }

  static EosResult<NaturalStrain2> make(double v0, double k0) {
    return checked_reference_record<NaturalStrain2>(v0, k0);
  }

  EosResult<double> pressure(double volume) const {
    return natural_strain_detail::pressure(v0, k0, 0.0, 0.0, volume);
  }
  EosResult<double> bulk_modulus(double volume) const {
    return natural_strain_detail::bulk_modulus(v0, k0, 0.0, 0.0, volume);
  }
};

struct NaturalStrain3 {
  double v0;
  double k0;
  double k0_prime;

  static constexpr auto parameter_table() { return v0_k0_k0_prime_parameters<NaturalStrain3>(); }

  static EosResult<NaturalStrain3> make(double v0, double k0, double k0_prime) {
    return checked_reference_record<NaturalStrain3>(v0, k0, k0_prime);
  }

  EosResult<double> pressure(double volume) const {
    return natural_strain_detail::pressure(v0, k0, 1.5 * (k0_prime - 2.0), 0.0, volume);
  }
  EosResult<double> bulk_modulus(double volume) const {
    return natural_strain_detail::bulk_modulus(v0, k0, 1.5 * (k0_prime - 2.0), 0.0, volume);
  }

  EosResult<NaturalStrain3> with_pressure_derivative_shift(double shift) const {
    return make(v0, k0, k0_prime + shift);
  }
};

struct NaturalStrain4 {
  double v0;
  double k0;
  double k0_prime;
  double k0_double_prime;

  static constexpr auto parameter_table() {
    return v0_k0_k0_prime_k0_double_prime_parameters<NaturalStrain4>();
  }

  static EosResult<NaturalStrain4> make(double v0, double k0, double k0_prime, double k0_double_prime) {
    return checked_reference_record<NaturalStrain4>(v0, k0, k0_prime, k0_double_prime);
  }

  EosResult<double> pressure(double volume) const {
    return natural_strain_detail::pressure(v0, k0, coefficient_a2(), coefficient_a3(), volume);
  }
  EosResult<double> bulk_modulus(double volume) const {
    return natural_strain_detail::bulk_modulus(v0, k0, coefficient_a2(), coefficient_a3(), volume);
  }

 private:
  double coefficient_a2() const { return 1.5 * (k0_prime - 2.0); }
  double coefficient_a3() const {
    const double d = k0_prime - 2.0;
    return 1.5 * (d * d + (1.0 + k0 * k0_double_prime) + d);
  }
};

}  // namespace nivaltus::isothermal
