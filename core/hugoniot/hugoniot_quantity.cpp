#include "core/hugoniot/hugoniot_quantity.hpp"

#include "core/name_table.hpp"

namespace nivaltus::hugoniot {
namespace {

using Q = HugoniotQuantity;

constexpr NameTable<HugoniotQuantity, 10> quantity_names{{
    {"volume", Q::volume},
    {"density", Q::density},
    {"pressure", Q::pressure},
    {"shock_velocity", Q::shock_velocity},
    {"tangent_modulus", Q::tangent_modulus},
    {"particle_velocity", Q::particle_velocity},
    {"specific_internal_energy_change", Q::specific_internal_energy_change},
    {"volume_from_particle_velocity", Q::volume_from_particle_velocity},
    {"pressure_from_particle_velocity", Q::pressure_from_particle_velocity},
    {"shock_velocity_from_particle_velocity", Q::shock_velocity_from_particle_velocity},
}};

}  // namespace

std::optional<HugoniotQuantity> hugoniot_quantity_from_name(std::string_view name) {
  return value_from_name(quantity_names, name);
}

EosResult<double> unknown_hugoniot_quantity() {
  return fail_state("quantity", "unknown shock Hugoniot quantity");
}

EosResult<double> evaluate_hugoniot_quantity(const LinearUsUpHugoniot& h, HugoniotQuantity quantity,
                                             double value) {
  switch (quantity) {
    case Q::volume:
      return h.volume_at_pressure(value);
    case Q::density:
      return h.density(value);
    case Q::pressure:
      return h.pressure(value);
    case Q::shock_velocity:
      return h.shock_velocity(value);
    case Q::tangent_modulus:
      return h.tangent_modulus(value);
    case Q::particle_velocity:
      return h.particle_velocity(value);
    case Q::specific_internal_energy_change:
      return h.specific_internal_energy_change(value);
    case Q::volume_from_particle_velocity:
      return h.volume_from_particle_velocity(value);
    case Q::pressure_from_particle_velocity:
      return h.pressure_from_particle_velocity(value);
    case Q::shock_velocity_from_particle_velocity:
      return h.shock_velocity_from_particle_velocity(value);
  }
  return unknown_hugoniot_quantity();
}

}  // namespace nivaltus::hugoniot
