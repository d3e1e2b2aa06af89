#pragma once
// Birch–Murnaghan family: Eulerian finite strain f = ((V0/V)^(2/3) - 1)/2,
// with u = cbrt(V0/V) and u^5 = (u^2)^2 u.
//   BM2: P = 3 K0 f u^5
//   BM3: P = 3 K0 f u^5 (1 + b1 f),              b1 = 1.5 (K0' - 4)
//   BM4: P = 3 K0 f u^5 (1 + b1 f + b2 f^2),     b2 = 1.5 (K0 K0'' + (K0' - 3)(K0' - 4) + 35/9)
// Each bulk modulus is the closed form of K = -V dP/dV.

#include <cmath>

#include "core/error.hpp"
#include "core/isothermal/reference_parameters.hpp"

namespace nivaltus::isothermal {

namespace birch_murnaghan_detail {

struct Strain {
  double u;   // cbrt(V0/V)
  double f;   // 0.5 (u^2 - 1)
  double u5;  // (u^2)^2 u
};

inline Strain strain(double v0, double volume) {
  const double u = std::cbrt(v0 / volume);
  const double u2 = u * u;
  return {u, 0.5 * (u2 - 1.0), u2 * u2 * u};
}

}  // namespace birch_murnaghan_detail

struct BM2 {
  double v0;
  double k0;

  static constexpr auto parameter_table() { return v0_k0_parameters<BM2>(); }

  static EosResult<BM2> make(double v0, double k0) { return checked_reference_record<BM2>(v0, k0); }

  EosResult<double> pressure(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const auto [u, f, u5] = birch_murnaghan_detail::strain(v0, volume);
    return finite_result(3.0 * k0 * f * u5);
  }

  EosResult<double> bulk_modulus(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const auto [u, f, u5] = birch_murnaghan_detail::strain(v0, volume);
    return finite_result(k0 * u5 * (1.0 + 7.0 * f));
  }
};

struct BM3 {
  double v0;
  double k0;
  double k0_prime;

  static constexpr auto parameter_table() { return v0_k0_k0_prime_parameters<BM3>(); }

  static EosResult<BM3> make(double v0, double k0, double k0_prime) {
    return checked_reference_record<BM3>(v0, k0, k0_prime);
  }

  EosResult<double> pressure(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const auto [u, f, u5] = birch_murnaghan_detail::strain(v0, volume);
    const double b1 = 1.5 * (k0_prime - 4.0);
    return finite_result(3.0 * k0 * f * u5 * (1.0 + b1 * f));
  }

  // K = u^5 (K0 + (3 K0 K0' - 5 K0) f + 13.5 (K0 K0' - 4 K0) f^2)
  EosResult<double> bulk_modulus(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const auto [u, f, u5] = birch_murnaghan_detail::strain(v0, volume);
    const double f2 = f * f;
    return finite_result(
        u5 * (k0 + (3.0 * k0 * k0_prime - 5.0 * k0) * f + 13.5 * (k0 * k0_prime - 4.0 * k0) * f2));
  }

  // K0_prime + shift, checked again by make like every shiftable model.
  EosResult<BM3> with_pressure_derivative_shift(double shift) const { return make(v0, k0, k0_prime + shift); }
};

struct BM4 {
  double v0;
  double k0;
  double k0_prime;
  double k0_double_prime;

  static constexpr auto parameter_table() { return v0_k0_k0_prime_k0_double_prime_parameters<BM4>(); }

  static EosResult<BM4> make(double v0, double k0, double k0_prime, double k0_double_prime) {
    return checked_reference_record<BM4>(v0, k0, k0_prime, k0_double_prime);
  }

  EosResult<double> pressure(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const auto [u, f, u5] = birch_murnaghan_detail::strain(v0, volume);
    const double b1 = 1.5 * (k0_prime - 4.0);
    const double b2 = coefficient_b2();
    const double f2 = f * f;
    return finite_result(3.0 * k0 * f * u5 * (1.0 + b1 * f + b2 * f2));
  }

  // K = 5 K0 f u^5 (1 + b1 f + b2 f^2) + K0 u^2 u^5 (1 + 2 b1 f + 3 b2 f^2)
  EosResult<double> bulk_modulus(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const auto [u, f, u5] = birch_murnaghan_detail::strain(v0, volume);
    const double b1 = 1.5 * (k0_prime - 4.0);
    const double b2 = coefficient_b2();
    const double f2 = f * f;
    const double u2 = u * u;
    return finite_result(5.0 * k0 * f * u5 * (1.0 + b1 * f + b2 * f2) +
                         k0 * u2 * u5 * (1.0 + 2.0 * b1 * f + 3.0 * b2 * f2));
  }

 private:
  // 3.888888888888889 is the double nearest 35/9.
  double coefficient_b2() const {
    return 1.5 * (k0 * k0_double_prime + (k0_prime - 3.0) * (k0_prime - 4.0) + 3.888888888888889);
  }
};

}  // namespace nivaltus::isothermal
