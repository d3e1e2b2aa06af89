#pragma once
// Reference volume V0 and bulk modulus K0 of an isothermal model: the checks
// every constructor opens with, and the accessors (RtModel exposes them as
// v0() and k0(), the isothermal records as fields).

#include "core/error.hpp"
#include "core/parameter_table.hpp"

namespace nivaltus::isothermal {

// V0, then K0, both positive and finite.
inline EosResult<void> check_reference_parameters(double v0, double k0) {
  if (!is_positive_finite(v0)) return fail_parameter("V0", phrase::positive_finite);
  if (!is_positive_finite(k0)) return fail_parameter("K0", phrase::positive_finite);
  return {};
}

// V0 and K0 as above, then K0_prime finite.
inline EosResult<void> check_reference_parameters(double v0, double k0, double k0_prime) {
  if (auto bad = check_reference_parameters(v0, k0); !bad) return bad;
  if (!is_finite(k0_prime)) return fail_parameter("K0_prime", phrase::finite);
  return {};
}

// V0, K0 and K0_prime as above, then K0_double_prime finite.
inline EosResult<void> check_reference_parameters(double v0, double k0, double k0_prime,
                                                  double k0_double_prime) {
  if (auto bad = check_reference_parameters(v0, k0, k0_prime); !bad) return bad;
  if (!is_finite(k0_double_prime)) return fail_parameter("K0_double_prime", phrase::finite);
  return {};
}

// A record whose fields are exactly V0, K0 and, as it has them, K0_prime and
// K0_double_prime, built once the checks above pass.
template <class Model, class... Values>
EosResult<Model> checked_reference_record(Values... values) {
  if (auto bad = check_reference_parameters(values...); !bad) return std::unexpected(bad.error());
  return Model{values...};
}

// The parameter tables that the isothermal records share: V0, K0, then
// K0_prime and K0_double_prime as the record has them.
template <class Model>
constexpr ParameterTable<Model, 2> v0_k0_parameters() {
  return {{{"V0", "v0", field<&Model::v0>}, {"K0", "k0", field<&Model::k0>}}};
}
template <class Model>
constexpr ParameterTable<Model, 3> v0_k0_k0_prime_parameters() {
  return {{{"V0", "v0", field<&Model::v0>},
           {"K0", "k0", field<&Model::k0>},
           {"K0_prime", "k0_prime", field<&Model::k0_prime>}}};
}
template <class Model>
constexpr ParameterTable<Model, 4> v0_k0_k0_prime_k0_double_prime_parameters() {
  return {{{"V0", "v0", field<&Model::v0>},
           {"K0", "k0", field<&Model::k0>},
           {"K0_prime", "k0_prime", field<&Model::k0_prime>},
           {"K0_double_prime", "k0_double_prime", field<&Model::k0_double_prime>}}};
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
