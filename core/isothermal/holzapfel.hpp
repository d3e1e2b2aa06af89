#pragma once
// Holzapfel (AP2), x = cbrt(V/V0), with the constants derived once:
//   L  = ln(3 K0 / ((n Z / (10 V0))^(5/3) 1003.6))
//   c0 = -L,  c2 = 1.5 (K0' - 3) + L
//   P  = 3 K0 exp((1 - x) c0) (1/x^5 - 1/x^4) ((1 + c2 x) - c2 x x)
//   K  = K0/x^5 exp(c0 (1 - x)) (g (5 - 4x + c0 x (1 - x)) - (c2 x - 2 c2 x^2)(1 - x)),
//        g = c2 x (1 - x) + 1

#include <cmath>

#include "core/error.hpp"
#include "core/isothermal/reference_parameters.hpp"

namespace nivaltus::isothermal {

struct Holzapfel {
  double v0;
  double k0;
  double k0_prime;
  double n;
  double z;
  double c0;
  double c2;

  // c0 and c2 are derived by make, not parameters.
  static constexpr ParameterTable<Holzapfel, 5> parameter_table() {
    return {{{"V0", "v0", field<&Holzapfel::v0>},
             {"K0", "k0", field<&Holzapfel::k0>},
             {"K0_prime", "k0_prime", field<&Holzapfel::k0_prime>},
             {"n", "n", field<&Holzapfel::n>},
             {"Z", "z", field<&Holzapfel::z>}}};
  }

  static EosResult<Holzapfel> make(double v0, double k0, double k0_prime, double n, double z) {
    if (auto bad = check_reference_parameters(v0, k0, k0_prime); !bad) return std::unexpected(bad.error());
    if (!is_positive_finite(n)) return fail_parameter("n", phrase::positive_finite);
    if (!is_positive_finite(z)) return fail_parameter("Z", phrase::positive_finite);
    // 1.6666666666666667 is the double nearest 5/3.
    const double l = std::log(3.0 * k0 / (std::pow(n * z / (10.0 * v0), 1.6666666666666667) * 1003.6));
    return Holzapfel{v0, k0, k0_prime, n, z, -l, 1.5 * (k0_prime - 3.0) + l};
  }

  EosResult<double> pressure(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const double x = std::cbrt(volume / v0);
    const double x2 = x * x;
    const double x4 = x2 * x2;
    const double x5 = x * x4;
    return finite_result(3.0 * k0 * std::exp((1.0 - x) * c0) * (1.0 / x5 - 1.0 / x4) *
                         ((1.0 + c2 * x) - c2 * x * x));
  }

  EosResult<double> bulk_modulus(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    return finite_result(bulk_modulus_formula(volume));
  }

  // dK/dP by a central difference with relative step eps, the two volumes
  // (1 + eps) V and V (1 - eps).
  EosResult<double> bulk_modulus_derivative(double volume, double eps) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    if (!is_positive_finite(eps)) return fail_parameter("eps", phrase::positive_finite);
    if (!is_smaller_than_one(eps)) return fail_parameter("eps", phrase::smaller_than_one);
    const double volume_plus = (eps + 1.0) * volume;
    if (!is_positive_finite(volume_plus)) return fail_state("volume", phrase::positive_finite);
    const double k_plus = bulk_modulus_formula(volume_plus);
    if (!is_finite(k_plus)) return std::unexpected(EosError::non_finite_result());
    const double volume_minus = volume * (1.0 - eps);
    if (!is_positive_finite(volume_minus)) return fail_state("volume", phrase::positive_finite);
    const double k_minus = bulk_modulus_formula(volume_minus);
    if (!is_finite(k_minus)) return std::unexpected(EosError::non_finite_result());
    const auto p_plus = pressure(volume_plus);
    if (!p_plus) return p_plus;
    const auto p_minus = pressure(volume_minus);
    if (!p_minus) return p_minus;
    // Equal pressures divide by zero and end as NonFiniteResult.
    return finite_result((k_plus - k_minus) / (*p_plus - *p_minus));
  }

 private:
  double bulk_modulus_formula(double volume) const {
    const double x = std::cbrt(volume / v0);
    const double x2 = x * x;
    const double x4 = x2 * x2;
    const double x5 = x * x4;
    const double g = c2 * x * (1.0 - x) + 1.0;
    return k0 / x5 * std::exp(c0 * (1.0 - x)) *
           (g * (5.0 - 4.0 * x + c0 * x * (1.0 - x)) - (c2 * x - 2.0 * c2 * x2) * (1.0 - x));
  }
};

// Closed-form dK/dP of the Holzapfel form at a volume, given the bulk modulus
// KT there. With x = cbrt(V/V0), K(x) = -K0 e h / x^3 and dP/dx = -3 KT / x:
//   g  = (c2 x + 1) - x (c2 x),      g1 = dg/dx = c2 - 2 c2 x
//   q  = 4/x - 5/x^2,  r = 1/x - 1,  h = q g - r g c0 + r g1
//   e  = exp((1 - x) c0)
//   D1 = c0 (K0 e) h / (x x^2) + (3 / (x^2 x^2)) K0 e h
//   h1 = dh/dx = c0/x^2 g + (q g1 + (10/x^3 - 4/x^2) g) - r g1 c0 - g1/x^2 - 2 c2 r
//   D2 = h1 (K0 e) / x^3,            dK/dx = D1 - D2
//   K' = ((D1 - D2) / (-KT / x)) / 3
// KT = 0 divides by zero and ends as NonFiniteResult.
inline EosResult<double> holzapfel_bulk_modulus_derivative_analytical(double v0, double volume, double kt,
                                                                      double k0, double c0, double c2) {
  if (!is_positive_finite(v0)) return fail_parameter("V0", phrase::positive_finite);
  if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
  if (!is_finite(kt)) return fail_parameter("KT", phrase::finite);
  if (!is_positive_finite(k0)) return fail_parameter("K0", phrase::positive_finite);
  if (!is_finite(c0)) return fail_parameter("c0", phrase::finite);
  if (!is_finite(c2)) return fail_parameter("c2", phrase::finite);
  const double x = std::cbrt(volume / v0);
  const double x2 = x * x;
  const double x3 = x * x2;
  const double g = (c2 * x + 1.0) - x * (c2 * x);
  const double g1 = c2 - 2.0 * c2 * x;
  const double q = 4.0 / x - 5.0 / x2;
  const double r = 1.0 / x - 1.0;
  const double h = q * g - r * g * c0 + r * g1;
  const double e = std::exp((1.0 - x) * c0);
  const double d1 = c0 * (k0 * e) * h / (x * x2) + (3.0 / (x2 * x2)) * k0 * e * h;
  const double h1 =
      c0 / x2 * g + (q * g1 + (10.0 / x3 - 4.0 / x2) * g) - r * g1 * c0 - g1 / x2 - 2.0 * c2 * r;
  const double d2 = h1 * (k0 * e) / x3;
  return finite_result((d1 - d2) / (-kt / x) / 3.0);
}

}  // namespace nivaltus::isothermal
