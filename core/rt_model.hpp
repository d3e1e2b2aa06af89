#pragma once
// The isothermal model chosen at run time: one of the fifteen model records,
// held by value in a variant whose alternative index is the Kind. No heap
// data, no virtual calls; copies may be evaluated from any thread.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "core/error.hpp"
#include "core/fit/fit_error.hpp"
#include "core/isothermal/baonza.hpp"
#include "core/isothermal/birch_murnaghan.hpp"
#include "core/isothermal/bulk_modulus_derivative.hpp"
#include "core/isothermal/holzapfel.hpp"
#include "core/isothermal/modified_tait.hpp"
#include "core/isothermal/morse.hpp"
#include "core/isothermal/murnaghan.hpp"
#include "core/isothermal/natural_strain.hpp"
#include "core/isothermal/rydberg_stacey.hpp"
#include "core/isothermal/sun_morse.hpp"
#include "core/isothermal/vinet.hpp"

namespace nivaltus {

class RtModel {
 public:
  // Alternative order of Variant; callers rely on it.
  enum class Kind : std::uint8_t {
    Baonza,
    BM2,
    BM3,
    BM4,
    Morse3,
    Murnaghan,
    ModifiedTait,
    NaturalStrain2,
    NaturalStrain3,
    NaturalStrain4,
    RydbergStacey,
    SunMorse3,
    SunMorse4,
    Vinet,
    Holzapfel,
  };

  using Variant =
      std::variant<isothermal::Baonza, isothermal::BM2, isothermal::BM3, isothermal::BM4, isothermal::Morse3,
                   isothermal::Murnaghan, isothermal::ModifiedTait, isothermal::NaturalStrain2,
                   isothermal::NaturalStrain3, isothermal::NaturalStrain4, isothermal::RydbergStacey,
                   isothermal::SunMorse3, isothermal::SunMorse4, isothermal::Vinet, isothermal::Holzapfel>;

  static constexpr std::size_t kind_count = std::variant_size_v<Variant>;

  // From an already validated record.
  template <class Model>
    requires std::is_constructible_v<Variant, std::in_place_type_t<Model>, const Model&>
  RtModel(const Model& model) : model_(std::in_place_type<Model>, model) {}

  Kind kind() const { return static_cast<Kind>(model_.index()); }
  // "Baonza", "BM2", ..., "Holzapfel": the kind's own name.
  std::string_view model_name() const { return kind_name(kind()); }
  static std::string_view kind_name(Kind kind);

  // Every record starts with V0, K0.
  double v0() const {
    return std::visit([](const auto& model) { return model.v0; }, model_);
  }
  double k0() const {
    return std::visit([](const auto& model) { return model.k0; }, model_);
  }

  EosResult<double> pressure(double volume) const {
    return std::visit([volume](const auto& model) { return model.pressure(volume); }, model_);
  }

  EosResult<double> bulk_modulus(double volume) const {
    return std::visit([volume](const auto& model) { return model.bulk_modulus(volume); }, model_);
  }

  // Central difference over the held record's pressure and bulk_modulus, for
  // every kind alike (Holzapfel's own eps-based derivative is not used here).
  EosResult<double> bulk_modulus_derivative(double volume, double relative_step) const {
    return std::visit(
        [volume, relative_step](const auto& model) {
          return isothermal::bulk_modulus_derivative(model, volume, relative_step);
        },
        model_);
  }

  // Same kind with V0 and K0 replaced, every other parameter carried over and
  // validated again by the kind's constructor (derived constants recomputed).
  EosResult<RtModel> with_reference_state(double v0, double k0) const;

  // Same kind with each named parameter (names of the kind's parameter table,
  // "V0", "K0", "K0_prime", ...) set to its value and every other one kept,
  // built again by the kind's constructor. Fails with InvalidInput when the
  // lists differ in length or at the first name the kind does not have, and
  // with the constructor's EosError otherwise.
  static fit::FitResult<RtModel> with_parameters(const RtModel& model, std::span<const std::string> names,
                                                 std::span<const double> values);

  // Same kind with K0_prime + shift; a zero shift (either sign) returns an
  // unchanged copy for every kind, unchecked.
  EosResult<RtModel> with_pressure_derivative_shift(double shift) const;

  template <class T>
  const T* get_if() const {
    return std::get_if<T>(&model_);
  }
  const Variant& variant() const { return model_; }

 private:
  Variant model_;
};

}  // namespace nivaltus
