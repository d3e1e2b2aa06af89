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

namespace nivaltus::isothermal {

struct Baonza {
  double v0;
  double k0;
  double k0_prime;

  static EosResult<Baonza> make(double v0, double k0, double k0_prime) {
    if (!is_positive_finite(v0)) return fail_parameter("V0", phrase::positive_finite);
    if (!is_positive_finite(k0)) return fail_parameter("K0", phrase::positive_finite);
    // K0' sets the pseudospinodal pressure and must keep it positive.
    if (!is_positive_finite(k0_prime)) return fail_parameter("K0_prime", phrase::positive_finite);
    return Baonza{v0, k0, k0_prime};
  }

  EosResult<double> pressure(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const double psp = spinodal_pressure();
    const double a = std::pow(psp, 0.85) / k0;
    const auto y = domain_variable(volume, psp, a);
    if (!y) return std::unexpected(y.error());
    return finite_result(std::pow(*y, 6.666666666666666) - psp);
  }

  EosResult<double> bulk_modulus(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const double psp = spinodal_pressure();
    const double a = std::pow(psp, 0.85) / k0;
    const auto y = domain_variable(volume, psp, a);
    if (!y) return std::unexpected(y.error());
    return finite_result(std::pow(*y, 5.666666666666666) / a);
  }

  EosResult<Baonza> with_pressure_derivative_shift(double shift) const {
    if (!is_positive_finite(v0)) return fail_parameter("V0", phrase::positive_finite);
    if (!is_positive_finite(k0)) return fail_parameter("K0", phrase::positive_finite);
    const double shifted = k0_prime + shift;
    if (!is_positive_finite(shifted)) return fail_parameter("K0_prime", phrase::positive_finite);
    return Baonza{v0, k0, shifted};
  }

 private:
  double spinodal_pressure() const { return k0 * 0.85 / k0_prime; }

  // y <= 0 lies beyond the pseudospinodal, where the model has no state.
  EosResult<double> domain_variable(double volume, double psp, double a) const {
    const double y = std::pow(psp, 0.15000000000000002) - std::log(volume / v0) * 0.15000000000000002 / a;
    if (!is_positive_finite(y))
      return fail_state("volume", "is outside the Baonza EOS pseudospinodal domain");
    return y;
  }
};

}  // namespace nivaltus::isothermal
