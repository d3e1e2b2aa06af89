#pragma once
// The copy of a (V0, K0, K0_prime) model with K0_prime moved by a shift. The
// stored V0 and K0 are tested again and the new K0_prime must be finite; the
// models that need more of K0_prime add their own test after this one.

#include "core/error.hpp"
#include "core/isothermal/reference_parameters.hpp"

namespace nivaltus::isothermal {

template <class Model>
EosResult<Model> shift_finite_k0_prime(const Model& model, double shift) {
  if (auto bad = check_reference_parameters(model.v0, model.k0); !bad) return std::unexpected(bad.error());
  const double k0_prime = model.k0_prime + shift;
  if (!is_finite(k0_prime)) return fail_parameter("K0_prime", phrase::finite);
  return Model{model.v0, model.k0, k0_prime};
}

}  // namespace nivaltus::isothermal
