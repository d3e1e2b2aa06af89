#pragma once
// Baonza, with beta = 0.85:
//   Psp = K0 beta / K0'                      (P tends to -Psp as y -> 0)
//   A   = Psp^beta / K0
//   y   = Psp^(1 - beta) - ln(V/V0) (1 - beta) / A
//   P   = y^(1/(1 - beta)) - Psp
//   K   = y^(beta/(1 - beta)) / A
// 1 - beta, 1/(1 - beta) and beta/(1 - beta) are written as the doubles
// 0.15000000000000002, 6.666666666666666 and 5.666666666666666.
//
// For a small K0' the subtraction above loses the digits of P: Psp grows as
// 1/K0' while P tends to K0 ln(V0/V), and Psp overflows for the smallest
// K0'. There the same expressions are taken in the form
//   L = ln(V/V0),  z = -(1 - beta)/beta K0' L   (so y = Psp^(1 - beta) (1 + z))
//   q = ln(1 + z)/(1 - beta)
//   P = Psp expm1(q) = -K0 L [ln(1 + z)/z] [expm1(q)/q]
//   K = K0 (1 + z)^(beta/(1 - beta))
// whose brackets tend to 1 as K0' -> 0, leaving the limit P = K0 ln(V0/V),
// K = K0; 1 + z <= 0 is the pseudospinodal as y <= 0 is above.

#include <cmath>

#include "core/error.hpp"
#include "core/isothermal/reference_parameters.hpp"

namespace nivaltus::isothermal {

struct Baonza {
  double v0;
  double k0;
  double k0_prime;

  // Below this K0', P and K take the subtraction-free form.
  static constexpr double small_k0_prime = 0.01;

  static constexpr auto parameter_table() { return v0_k0_k0_prime_parameters<Baonza>(); }

  static EosResult<Baonza> make(double v0, double k0, double k0_prime) {
    if (auto bad = check_reference_parameters(v0, k0); !bad) return std::unexpected(bad.error());
    // K0' sets the pseudospinodal pressure and must keep it positive.
    if (!is_positive_finite(k0_prime)) return fail_parameter("K0_prime", phrase::positive_finite);
    return Baonza{v0, k0, k0_prime};
  }

  EosResult<double> pressure(double volume) const {
    if (k0_prime < small_k0_prime) {
      const auto s = small_k0_prime_strain(volume);
      if (!s) return std::unexpected(s.error());
      const double log1p_ratio = s->z == 0.0 ? 1.0 : s->log1p_z / s->z;
      const double q = s->log1p_z * 6.666666666666666;
      const double expm1_ratio = q == 0.0 ? 1.0 : std::expm1(q) / q;
      // ln(V0/V) as 0 - L, which is +0 rather than -0 at V0.
      return finite_result(k0 * (0.0 - s->l) * log1p_ratio * expm1_ratio);
    }
    const auto d = domain(volume);
    if (!d) return std::unexpected(d.error());
    return finite_result(std::pow(d->y, 6.666666666666666) - d->psp);
  }

  EosResult<double> bulk_modulus(double volume) const {
    if (k0_prime < small_k0_prime) {
      const auto s = small_k0_prime_strain(volume);
      if (!s) return std::unexpected(s.error());
      return finite_result(k0 * std::exp(s->log1p_z * 5.666666666666666));
    }
    const auto d = domain(volume);
    if (!d) return std::unexpected(d.error());
    return finite_result(std::pow(d->y, 5.666666666666666) / d->a);
  }

  EosResult<Baonza> with_pressure_derivative_shift(double shift) const {
    return make(v0, k0, k0_prime + shift);
  }

 private:
  struct Domain {
    double psp, a, y;
  };

  // Psp, A and y at a volume, which is checked first; y <= 0 lies beyond the
  // pseudospinodal, where the model has no state.
  EosResult<Domain> domain(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const double psp = k0 * 0.85 / k0_prime;
    const double a = std::pow(psp, 0.85) / k0;
    const double y = std::pow(psp, 0.15000000000000002) - std::log(volume / v0) * 0.15000000000000002 / a;
    if (!is_positive_finite(y)) return outside_domain();
    return Domain{psp, a, y};
  }

  struct SmallK0PrimeStrain {
    double l, z, log1p_z;  // L, z, ln(1 + z)
  };

  EosResult<SmallK0PrimeStrain> small_k0_prime_strain(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    // V - V0 is exact within a factor 2 of V0, where log1p keeps a small
    // ln(V/V0) to full precision although V/V0 itself would be rounded.
    const double ratio = volume / v0;
    const double l = ratio > 0.5 && ratio < 2.0 ? std::log1p((volume - v0) / v0) : std::log(ratio);
    // (1 - beta)/beta = 3/17.
    const double z = -0.17647058823529413 * k0_prime * l;
    if (!is_positive_finite(1.0 + z)) return outside_domain();
    return SmallK0PrimeStrain{l, z, std::log1p(z)};
  }

  static std::unexpected<EosError> outside_domain() {
    return fail_state("volume", "is outside the Baonza EOS pseudospinodal domain");
  }
};

}  // namespace nivaltus::isothermal
