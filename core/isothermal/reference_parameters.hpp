#pragma once
// Reference volume V0 and bulk modulus K0 of an isothermal model: the checks
// every constructor opens with, and the accessors (RtModel exposes them as
// v0() and k0(), the isothermal records as fields).

#include "core/error.hpp"

namespace nivaltus::isothermal {

// V0, then K0, both positive and finite.
inline EosResult<void> check_reference_parameters(double v0, double k0) {
  if (!is_positive_finite(v0)) return fail_parameter("V0", phrase::positive_finite);
  if (!is_positive_finite(k0)) return fail_parameter("K0", phrase::positive_finite);
  return {};
}

template <class Model>
constexpr double reference_volume(const Model& model) {
  if constexpr (requires { model.v0(); }) {
    return model.v0();
  } else {
    return model.v0;
  }
}

template <class Model>
constexpr double reference_bulk_modulus(const Model& model) {
  if constexpr (requires { model.k0(); }) {
    return model.k0();
  } else {
    return model.k0;
  }
}

}  // namespace nivaltus::isothermal
