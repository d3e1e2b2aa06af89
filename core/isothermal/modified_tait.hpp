#pragma once
// Modified Tait, with the constants derived once from the parameters:
//   d = K0'^2 + K0' - K0 K0'',  s = 1 + K0',  t = K0 K0'' + s
//   a = s / t,  b = K0'/K0 - K0''/s,  c = t / d
// and, with x = ((V/V0 + a) - 1) / a,
//   P = expm1(-ln(x) / c) / b
//   K = K0 (V/V0) exp(ln(x) (-1/c - 1))
// The form exists only where x > 0, and needs d, s and t non-zero and a, b
// and c finite and non-zero: K0 K0'' or K0'^2 overflowing, or a so small that
// 1 + a rounds to 1, would leave no volume in the domain, V0 included.

#include <cmath>

#include "core/error.hpp"
#include "core/isothermal/reference_parameters.hpp"

namespace nivaltus::isothermal {

struct ModifiedTait {
  double v0;
  double k0;
  double k0_prime;
  double k0_double_prime;
  double a;
  double b;
  double c;

  // a, b and c are derived by make, not parameters.
  static constexpr auto parameter_table() {
    return v0_k0_k0_prime_k0_double_prime_parameters<ModifiedTait>();
  }

  static EosResult<ModifiedTait> make(double v0, double k0, double k0_prime, double k0_double_prime) {
    if (auto bad = check_reference_parameters(v0, k0, k0_prime, k0_double_prime); !bad) {
      return std::unexpected(bad.error());
    }
    const double d = k0_prime * k0_prime + k0_prime - k0 * k0_double_prime;
    const double s = 1.0 + k0_prime;
    const double t = k0 * k0_double_prime + s;
    const auto singular = [] {
      return fail_parameter("K0_prime/K0_double_prime", "produce a singular modified Tait EOS");
    };
    // Exact comparisons: a NaN d passes as non-zero.
    if (d == 0.0 || s == 0.0 || t == 0.0) return singular();
    const ModifiedTait model{v0, k0, k0_prime, k0_double_prime, s / t, k0_prime / k0 - k0_double_prime / s, t / d};
    const auto usable = [](double constant) { return is_finite(constant) && constant != 0.0; };
    if (!usable(model.a) || !usable(model.b) || !usable(model.c) || !model.pressure(v0) || !model.bulk_modulus(v0)) {
      return singular();
    }
    return model;
  }

  EosResult<double> pressure(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const auto x = domain_variable(volume);
    if (!x) return std::unexpected(x.error());
    return finite_result(std::expm1(-std::log(*x) / c) / b);
  }

  EosResult<double> bulk_modulus(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const auto x = domain_variable(volume);
    if (!x) return std::unexpected(x.error());
    return finite_result(k0 * (volume / v0) * std::exp(std::log(*x) * (-1.0 / c - 1.0)));
  }

 private:
  EosResult<double> domain_variable(double volume) const {
    const double x = ((volume / v0 + a) - 1.0) / a;
    if (!is_positive_finite(x)) return fail_state("volume", "is outside the modified Tait EOS domain");
    return x;
  }
};

}  // namespace nivaltus::isothermal
