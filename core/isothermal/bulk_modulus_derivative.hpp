#pragma once
// K' = dK/dP of any isothermal model by a central difference over its own
// pressure and bulk modulus, h = r V:
//   K' = (K(V + h) - K(V - h)) / (P(V + h) - P(V - h))
// The four evaluations run in the order P+, P-, K+, K-; equal pressures leave
// the quotient undefined and are reported before any K is evaluated.

#include "core/error.hpp"

namespace nivaltus::isothermal {

template <class Model>
EosResult<double> bulk_modulus_derivative(const Model& model, double volume, double relative_step) {
  if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
  if (!is_positive_finite(relative_step)) return fail_state("relative_step", phrase::positive_finite);
  if (!is_smaller_than_one(relative_step)) return fail_state("relative_step", phrase::smaller_than_one);
  const double h = relative_step * volume;
  const auto p_plus = model.pressure(volume + h);
  if (!p_plus) return p_plus;
  const auto p_minus = model.pressure(volume - h);
  if (!p_minus) return p_minus;
  const double dp = *p_plus - *p_minus;
  if (dp == 0.0) return std::unexpected(EosError::outside_invertible_range());
  const auto k_plus = model.bulk_modulus(volume + h);
  if (!k_plus) return k_plus;
  const auto k_minus = model.bulk_modulus(volume - h);
  if (!k_minus) return k_minus;
  return finite_result((*k_plus - *k_minus) / dp);
}

}  // namespace nivaltus::isothermal
