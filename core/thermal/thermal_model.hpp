#pragma once
// The thermal model chosen at run time: one of the thirteen thermal models,
// each over its isothermal reference, held by value in a variant whose
// alternative index is the Kind. No heap data, no virtual calls; a value may
// be evaluated from any number of threads at once.
//
// ThermalModel checks nothing itself: it is built only from model values that
// passed their own validation.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "core/error.hpp"
#include "core/fit/fit_error.hpp"
#include "core/isothermal/modified_tait.hpp"
#include "core/rt_model.hpp"
#include "core/thermal/asymptotic_power_law.hpp"
#include "core/thermal/debye_quadratic.hpp"
#include "core/thermal/dewaele_2006.hpp"
#include "core/thermal/dorogokupets_oganov_2007.hpp"
#include "core/thermal/holland_powell.hpp"
#include "core/thermal/mie_gruneisen.hpp"
#include "core/thermal/multi_oscillator_gruneisen.hpp"
#include "core/thermal/simple_thermal_pressure.hpp"
#include "core/thermal/thermal_reference_state.hpp"

namespace nivaltus {

class ThermalModel {
 public:
  // Alternative order of Variant; callers rely on it. The two Holland-Powell
  // kinds hold the same model over different references.
  enum class Kind : std::uint8_t {
    AsymptoticPowerLawMieGruneisenDebye,
    Dewaele2006,
    DorogokupetsOganov2007,
    LinearThermalPressure,
    DebyeQuadraticThermalPressure,
    LogVolumeThermalPressure,
    SecondOrderTaylorThermalPressure,
    MieGruneisenDebye,
    MieGruneisenEinstein,
    HollandPowellThermalPressure,
    ThermalModifiedTait,
    MultiOscillatorGruneisenThermalEOS,
    ThermalReferenceStateEOS,
  };

  using Variant = std::variant<thermal::AsymptoticPowerLawMieGruneisenDebye, thermal::Dewaele2006,
                               thermal::DorogokupetsOganov2007, thermal::LinearThermalPressure,
                               thermal::DebyeQuadraticThermalPressure, thermal::LogVolumeThermalPressure,
                               thermal::SecondOrderTaylorThermalPressure, thermal::MieGruneisenDebye,
                               thermal::MieGruneisenEinstein, thermal::HollandPowellThermalPressure<RtModel>,
                               thermal::HollandPowellThermalPressure<isothermal::ModifiedTait>,
                               thermal::MultiOscillatorGruneisen, thermal::ThermalReferenceState>;

  static constexpr std::size_t kind_count = std::variant_size_v<Variant>;

  // From an already validated model; the model is copied whole.
  template <class Model>
    requires std::is_constructible_v<Variant, std::in_place_type_t<Model>, const Model&>
  ThermalModel(const Model& model) : model_(std::in_place_type<Model>, model) {}

  Kind kind() const { return static_cast<Kind>(model_.index()); }

  // "AsymptoticPowerLawMieGruneisenDebye", ..., "ThermalReferenceStateEOS".
  std::string_view model_name() const { return kind_name(kind()); }
  static constexpr std::string_view kind_name(Kind kind) {
    return kind_names[static_cast<std::size_t>(kind)];
  }

  // P(V, T) of the held model, value and error alike: its thermal pressure
  // first, then the reference pressure at V, then the sum.
  EosResult<double> pressure(double volume, double temperature) const {
    return std::visit(
        [volume, temperature](const auto& model) { return model.pressure(volume, temperature); }, model_);
  }

  // Same kind with each named parameter set to its value and every other one
  // kept, built again by the kind's own checks. Thermal parameters go by the
  // names of the kind's parameter table ("Tr", "theta0", ...); the
  // reference's by "rt_eos." and its RtModel name ("rt_eos.V0"), rebuilt by
  // RtModel::with_parameters. Fails with InvalidInput on lists of different
  // lengths or at the first name the kind does not have, and with the
  // EosError of the first failed check otherwise.
  static fit::FitResult<ThermalModel> with_parameters(const ThermalModel& model,
                                                      std::span<const std::string> names,
                                                      std::span<const double> values);

  // The held model, or nullptr when another kind is held.
  template <class T>
  const T* get_if() const {
    return std::get_if<T>(&model_);
  }
  const Variant& variant() const { return model_; }

 private:
  static constexpr std::array<std::string_view, kind_count> kind_names = {
      "AsymptoticPowerLawMieGruneisenDebye",
      "Dewaele2006",
      "DorogokupetsOganov2007",
      "LinearThermalPressure",
      "DebyeQuadraticThermalPressure",
      "LogVolumeThermalPressure",
      "SecondOrderTaylorThermalPressure",
      "MieGruneisenDebye",
      "MieGruneisenEinstein",
      "HollandPowellThermalPressure",
      "ThermalModifiedTait",
      "MultiOscillatorGruneisenThermalEOS",
      "ThermalReferenceStateEOS",
  };

  Variant model_;
};

}  // namespace nivaltus
