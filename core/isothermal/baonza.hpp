#pragma once
// Baonza, with beta = 0.85:
//   Psp = K0 beta / K0'                      (P tends to -Psp as y -> 0)
//   A   = Psp^beta / K0
//   y   = Psp^(1 - beta) - ln(V/V0) (1 - beta) / A
//   P   = y^(1/(1 - beta)) - Psp
//   K   = y^(beta/(1 - beta)) / A
// 1 - beta, 1/(1 - beta) and beta/(1 - beta) are written as the doubles
// 0.15000000000000002, 6.666666666666666 and 5.666666666666666.

#include <cmath>

#include "core/error.hpp"
#include "core/isothermal/reference_parameters.hpp"

namespace nivaltus::isothermal {

struct Baonza {
  double v0;
  double k0;
  double k0_prime;

  static constexpr auto parameter_table() { return v0_k0_k0_prime_parameters<Baonza>(); }

  static EosResult<Baonza> make(double v0, double k0, double k0_prime) {
    if (auto bad = check_reference_parameters(v0, k0); !bad) return std::unexpected(bad.error());
    // K0' sets the pseudospinodal pressure and must keep it positive.
    if (!is_positive_finite(k0_prime)) return fail_parameter("K0_prime", phrase::positive_finite);
    return Baonza{v0, k0, k0_prime};
  }

  EosResult<double> pressure(double volume) const {
    const auto d = domain(volume);
    if (!d) return std::unexpected(d.error());
    return finite_result(std::pow(d->y, 6.666666666666666) - d->psp);
  }

  EosResult<double> bulk_modulus(double volume) const {
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
    if (!is_positive_finite(y))
      return fail_state("volume", "is outside the Baonza EOS pseudospinodal domain");
    return Domain{psp, a, y};
  }
};

}  // namespace nivaltus::isothermal
