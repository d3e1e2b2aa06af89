#include "core/rt_model.hpp"

#include <array>
#include <concepts>
#include <type_traits>

namespace nivaltus {

namespace {

constexpr std::array<std::string_view, RtModel::kind_count> kind_names = {
    "Baonza",
    "BM2",
    "BM3",
    "BM4",
    "Morse3",
    "Murnaghan",
    "ModifiedTait",
    "NaturalStrain2",
    "NaturalStrain3",
    "NaturalStrain4",
    "RydbergStacey",
    "SunMorse3",
    "SunMorse4",
    "Vinet",
    "Holzapfel",
};

// Wraps a record result into an RtModel result.
template <class Model>
EosResult<RtModel> wrap(const EosResult<Model>& result) {
  if (!result) return std::unexpected(result.error());
  return RtModel(*result);
}

using namespace isothermal;

// Rebuilding with a new V0 and K0 through each kind's constructor, the other
// parameters in record order.
EosResult<RtModel> rebuild(const Baonza& m, double v0, double k0) {
  return wrap(Baonza::make(v0, k0, m.k0_prime));
}
EosResult<RtModel> rebuild(const BM2&, double v0, double k0) { return wrap(BM2::make(v0, k0)); }
EosResult<RtModel> rebuild(const BM3& m, double v0, double k0) { return wrap(BM3::make(v0, k0, m.k0_prime)); }
EosResult<RtModel> rebuild(const BM4& m, double v0, double k0) {
  return wrap(BM4::make(v0, k0, m.k0_prime, m.k0_double_prime));
}
EosResult<RtModel> rebuild(const Morse3& m, double v0, double k0) {
  return wrap(Morse3::make(v0, k0, m.k0_prime));
}
EosResult<RtModel> rebuild(const Murnaghan& m, double v0, double k0) {
  return wrap(Murnaghan::make(v0, k0, m.k0_prime));
}
EosResult<RtModel> rebuild(const ModifiedTait& m, double v0, double k0) {
  return wrap(ModifiedTait::make(v0, k0, m.k0_prime, m.k0_double_prime));
}
EosResult<RtModel> rebuild(const NaturalStrain2&, double v0, double k0) {
  return wrap(NaturalStrain2::make(v0, k0));
}
EosResult<RtModel> rebuild(const NaturalStrain3& m, double v0, double k0) {
  return wrap(NaturalStrain3::make(v0, k0, m.k0_prime));
}
EosResult<RtModel> rebuild(const NaturalStrain4& m, double v0, double k0) {
  return wrap(NaturalStrain4::make(v0, k0, m.k0_prime, m.k0_double_prime));
}
EosResult<RtModel> rebuild(const RydbergStacey& m, double v0, double k0) {
  return wrap(RydbergStacey::make(v0, k0, m.k0_prime, m.k_infinity_prime));
}
EosResult<RtModel> rebuild(const SunMorse3& m, double v0, double k0) {
  return wrap(SunMorse3::make(v0, k0, m.k0_prime));
}
EosResult<RtModel> rebuild(const SunMorse4& m, double v0, double k0) {
  return wrap(SunMorse4::make(v0, k0, m.k0_prime));
}
EosResult<RtModel> rebuild(const Vinet& m, double v0, double k0) {
  return wrap(Vinet::make(v0, k0, m.k0_prime));
}
EosResult<RtModel> rebuild(const Holzapfel& m, double v0, double k0) {
  return wrap(Holzapfel::make(v0, k0, m.k0_prime, m.n, m.z));
}

template <class Model>
concept ShiftableModel = requires(const Model& model, double shift) {
  { model.with_pressure_derivative_shift(shift) } -> std::same_as<EosResult<Model>>;
};

}  // namespace

std::string_view RtModel::kind_name(Kind kind) { return kind_names[static_cast<std::size_t>(kind)]; }

EosResult<RtModel> RtModel::with_reference_state(double v0, double k0) const {
  return std::visit([v0, k0](const auto& model) { return rebuild(model, v0, k0); }, model_);
}

EosResult<RtModel> RtModel::with_pressure_derivative_shift(double shift) const {
  if (shift == 0.0) return *this;
  return std::visit(
      [shift](const auto& model) -> EosResult<RtModel> {
        if constexpr (ShiftableModel<std::remove_cvref_t<decltype(model)>>) {
          return wrap(model.with_pressure_derivative_shift(shift));
        } else {
          return fail_parameter("kprime_log_coefficient",
                                "reference EOS does not support a pressure-derivative shift");
        }
      },
      model_);
}

}  // namespace nivaltus
