#pragma once
// Rydberg–Stacey: x = cbrt(V/V0), eta = 1.5 K0' - 3 Kinf' + 0.5,
// E = exp((1 - x) eta), w = x^(-3 Kinf')
//   P = 3 K0 w (1 - x) E
//   K = K0 w E (eta x (1 - x) + 3 Kinf' (1 - x) + x)

#include <cmath>

#include "core/error.hpp"
#include "core/isothermal/reference_parameters.hpp"

namespace nivaltus::isothermal {

struct RydbergStacey {
  double v0;
  double k0;
  double k0_prime;
  double k_infinity_prime;

  static constexpr ParameterTable<RydbergStacey, 4> parameter_table() {
    return {{{"V0", "v0", field<&RydbergStacey::v0>},
             {"K0", "k0", field<&RydbergStacey::k0>},
             {"K0_prime", "k0_prime", field<&RydbergStacey::k0_prime>},
             {"K_infinity_prime", "k_infinity_prime", field<&RydbergStacey::k_infinity_prime>}}};
  }

  static EosResult<RydbergStacey> make(double v0, double k0, double k0_prime, double k_infinity_prime) {
    if (auto bad = check_reference_parameters(v0, k0, k0_prime); !bad) return std::unexpected(bad.error());
    if (!is_finite(k_infinity_prime)) return fail_parameter("K_infinity_prime", phrase::finite);
    return RydbergStacey{v0, k0, k0_prime, k_infinity_prime};
  }

  EosResult<double> pressure(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const auto [x, eta, e, w] = terms(volume);
    return finite_result(3.0 * k0 * w * (1.0 - x) * e);
  }

  EosResult<double> bulk_modulus(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const auto [x, eta, e, w] = terms(volume);
    return finite_result(k0 * w * e * (eta * x * (1.0 - x) + 3.0 * k_infinity_prime * (1.0 - x) + x));
  }

 private:
  struct Terms {
    double x, eta, e, w;
  };

  Terms terms(double volume) const {
    const double x = std::cbrt(volume / v0);
    const double eta = 1.5 * k0_prime - 3.0 * k_infinity_prime + 0.5;
    return {x, eta, std::exp((1.0 - x) * eta), std::pow(x, -3.0 * k_infinity_prime)};
  }
};

}  // namespace nivaltus::isothermal
