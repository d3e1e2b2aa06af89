#pragma once
// Evaluation of the linear Us-up Hugoniot by quantity name. The input is a
// pressure for "volume", a particle velocity for the three
// *_from_particle_velocity names, else a volume.

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/error.hpp"
#include "core/hugoniot/linear_us_up_hugoniot.hpp"

namespace nivaltus::hugoniot {

enum class HugoniotQuantity : std::uint8_t {
  volume,
  density,
  pressure,
  shock_velocity,
  tangent_modulus,
  particle_velocity,
  specific_internal_energy_change,
  volume_from_particle_velocity,
  pressure_from_particle_velocity,
  shock_velocity_from_particle_velocity,
};

// Exact, case-sensitive comparison with the enumerator's own name; nullopt
// for any other text.
std::optional<HugoniotQuantity> hugoniot_quantity_from_name(std::string_view name);

EosResult<double> evaluate_hugoniot_quantity(const LinearUsUpHugoniot& hugoniot, HugoniotQuantity quantity,
                                             double value);

// An unknown name fails with InvalidState "quantity" "unknown shock Hugoniot
// quantity".
EosResult<double> unknown_hugoniot_quantity();

// Both steps.
inline EosResult<double> evaluate_hugoniot(const LinearUsUpHugoniot& hugoniot, std::string_view quantity,
                                           double value) {
  const std::optional<HugoniotQuantity> resolved = hugoniot_quantity_from_name(quantity);
  if (!resolved) return unknown_hugoniot_quantity();
  return evaluate_hugoniot_quantity(hugoniot, *resolved, value);
}

}  // namespace nivaltus::hugoniot
