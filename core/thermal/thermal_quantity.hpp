#pragma once
// Evaluation of a thermal model by quantity name: the name is resolved to a
// ThermalQuantity (aliases included), and the held model answers it when its
// vocabulary offers it. Roles of the two inputs:
//   "volume"       first = pressure, second = temperature
//   "pressure"     first = volume,   second = temperature
//   "temperature"  first = pressure, second = volume
//   anything else  first = volume,   second = temperature
// Pure: safe to call from any number of threads on one model. Nothing is
// allocated.

#include <cstdint>
#include <expected>
#include <optional>
#include <string_view>
#include <variant>

#include "core/error.hpp"
#include "core/thermal/thermal_model.hpp"

namespace nivaltus::thermal {

enum class ThermalQuantity : std::uint8_t {
  volume,
  pressure,
  temperature,
  bulk_modulus,
  thermal_expansivity,
  isothermal_compressibility,
  thermal_pressure,
  thermal_pressure_increment,
  gruneisen_parameter,
  molar_heat_capacity_v,
  molar_heat_capacity_p,
  adiabatic_bulk_modulus,
  thermal_energy,
  thermal_entropy,
  thermal_enthalpy,
  thermal_gibbs_free_energy,
  thermal_helmholtz_free_energy,
  characteristic_temperature,
  vibrational_pressure,
  absolute_thermal_pressure,
  vibrational_pressure_increment,
  anharmonic_pressure_increment,
  electronic_pressure_increment,
};

// Exact, case-sensitive byte comparison; "thermal_internal_energy",
// "heat_capacity_v" and "heat_capacity_p" resolve to thermal_energy,
// molar_heat_capacity_v and molar_heat_capacity_p. nullopt for any other text.
std::optional<ThermalQuantity> thermal_quantity_from_name(std::string_view name);

// The held model does not offer the quantity; its inputs were not looked at.
struct QuantityUnavailable {
  friend constexpr bool operator==(QuantityUnavailable, QuantityUnavailable) = default;
};

using ThermalQuantityError = std::variant<QuantityUnavailable, EosError>;
using ThermalQuantityResult = std::expected<double, ThermalQuantityError>;

// The quantity of the held model at (first, second), or the operation's
// EosError, or QuantityUnavailable when the model's vocabulary lacks it.
ThermalQuantityResult evaluate_thermal_quantity(const ThermalModel& model, ThermalQuantity quantity,
                                                double first, double second);

// Both steps; an unknown name is QuantityUnavailable.
inline ThermalQuantityResult thermal_evaluate(const ThermalModel& model, std::string_view quantity,
                                              double first, double second) {
  const std::optional<ThermalQuantity> resolved = thermal_quantity_from_name(quantity);
  if (!resolved) return std::unexpected(ThermalQuantityError(QuantityUnavailable{}));
  return evaluate_thermal_quantity(model, *resolved, first, second);
}

// The volume V at which pressure(V, T) - f_dac P_th,increment(V, T) equals the
// cold pressure, searched from the reference V0; T is checked first, then
// f_dac (finite, then in [0, 1)).
EosResult<double> thermal_volume_with_dac_confinement(const ThermalModel& model, double cold_pressure,
                                                      double temperature, double f_dac);

}  // namespace nivaltus::thermal
