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
//
// Near t = 0 (K0'' -> -(1 + K0')/K0) and d = 0 (K0'' -> K0'(1 + K0')/K0) the
// rounded t and d keep few digits and a or c grows without bound; b cancels
// as d does, since b = d / (K0 s). Where |a| or |c| reaches `near_singular`,
// t and d are therefore the exact values for the given doubles, rounded once
// (only an exact 0 is refused), and
//   a = s / t,  b = d / s / K0,  c = t / d,
// with x from x - 1 = u = (V - V0) / V0 / a, which keeps the digits of V/V0
// that V/V0 + a drops where |a| is large:
//   ln(x) = log1p(u)                               where u > -1/2
//   ln(x) = ln((V - (1 - a) V0) / V0 / a)           where u <= -1/2,
// the end of the domain (1 - a) V0 = K0 K0'' V0 / t held to twice the working
// precision, so that x keeps its digits as V approaches it. Below
// `near_singular` the rounded form errs by about 1e-16 |a| / |V/V0 - 1| in
// ln(x) and 1e-16 |c| in b and c (relative), under 2e-11 in P and K where
// |V/V0 - 1| >= 1e-3 and x >= 1e-3, and is kept.

#include <array>
#include <cmath>

#include "core/error.hpp"
#include "core/isothermal/accurate_sum.hpp"
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
  // (1 - a) V0 = domain_end + domain_end_error, the volume where x = 0, for
  // a near-singular set only (else both 0).
  double domain_end;
  double domain_end_error;

  static constexpr double near_singular = 64.0;

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
    if (s == 0.0) return singular();
    ModifiedTait model{v0, k0, k0_prime, k0_double_prime, s / t, k0_prime / k0 - k0_double_prime / s, t / d,
                       0.0, 0.0};
    // Also taken where the rounded t or d is 0 (a or c infinite or NaN).
    if (model.near_singular_set() && !model.take_exact_constants()) return singular();
    const auto usable = [](double constant) { return is_finite(constant) && constant != 0.0; };
    if (!usable(model.a) || !usable(model.b) || !usable(model.c) || !model.pressure(v0) || !model.bulk_modulus(v0)) {
      return singular();
    }
    return model;
  }

  EosResult<double> pressure(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const auto ln_x = log_domain_variable(volume);
    if (!ln_x) return std::unexpected(ln_x.error());
    return finite_result(std::expm1(-*ln_x / c) / b);
  }

  EosResult<double> bulk_modulus(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const auto ln_x = log_domain_variable(volume);
    if (!ln_x) return std::unexpected(ln_x.error());
    return finite_result(k0 * (volume / v0) * std::exp(*ln_x * (-1.0 / c - 1.0)));
  }

 private:
  bool near_singular_set() const { return !(std::fabs(a) < near_singular && std::fabs(c) < near_singular); }

  // For a near-singular set: a, b, c and the domain end from the exact t and
  // d; false where either is exactly 0.
  bool take_exact_constants() {
    // K0 K0'' = p + p_error, K0'^2 = q + q_error and 1 + K0' = s + s_error
    // exactly; a NaN sum (a product overflowing) passes as non-zero.
    const auto [p, p_error] = two_product(k0, k0_double_prime);
    const auto [q, q_error] = two_product(k0_prime, k0_prime);
    const auto [s, s_error] = two_sum(1.0, k0_prime);
    const double exact_t = accurate_sum(std::array{p, p_error, s, s_error});
    const double exact_d = accurate_sum(std::array{q, q_error, k0_prime, -p, -p_error});
    if (exact_t == 0.0 || exact_d == 0.0) return false;
    a = s / exact_t;
    b = exact_d / s / k0;
    c = exact_t / exact_d;
    // (1 - a) V0 = V0 (p + p_error) / (t + t_error), with t_error the rest
    // of the exact t, r = r_high + r_low the quotient and
    // r_low = ((p + p_error) - r_high (t + t_error)) / t.
    const double t_error = accurate_sum(std::array{p, p_error, s, s_error, -exact_t});
    const double r_high = p / exact_t;
    const auto [m, m_error] = two_product(r_high, exact_t);
    const auto [n, n_error] = two_product(r_high, t_error);
    const double r_low = accurate_sum(std::array{p, p_error, -m, -m_error, -n, -n_error}) / exact_t;
    const auto [product, product_error] = two_product(v0, r_high);
    const auto [end, end_error] = two_sum(product, product_error + v0 * r_low);
    domain_end = end;
    domain_end_error = end_error;
    return true;
  }

  // ln(x), x = ((V/V0 + a) - 1)/a = 1 + (V - V0)/(V0 a), where x > 0.
  EosResult<double> log_domain_variable(double volume) const {
    const auto outside = [] { return fail_state("volume", "is outside the modified Tait EOS domain"); };
    if (!near_singular_set()) {
      const double x = ((volume / v0 + a) - 1.0) / a;
      if (!is_positive_finite(x)) return outside();
      return std::log(x);
    }
    // V - V0 is exact for V in [V0/2, 2 V0], as V - domain_end is near it.
    const double u = (volume - v0) / v0 / a;
    if (u > -0.5 && is_finite(u)) return std::log1p(u);
    const double x = ((volume - domain_end) - domain_end_error) / v0 / a;
    if (!is_positive_finite(x)) return outside();
    return std::log(x);
  }
};

}  // namespace nivaltus::isothermal
