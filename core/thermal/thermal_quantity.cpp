#include "core/thermal/thermal_quantity.hpp"

#include "core/name_table.hpp"

namespace nivaltus::thermal {
namespace {

using Q = ThermalQuantity;

constexpr NameTable<ThermalQuantity, 26> quantity_names{{
    {"volume", Q::volume},
    {"pressure", Q::pressure},
    {"temperature", Q::temperature},
    {"bulk_modulus", Q::bulk_modulus},
    {"thermal_expansivity", Q::thermal_expansivity},
    {"isothermal_compressibility", Q::isothermal_compressibility},
    {"thermal_pressure", Q::thermal_pressure},
    {"thermal_pressure_increment", Q::thermal_pressure_increment},
    {"gruneisen_parameter", Q::gruneisen_parameter},
    {"molar_heat_capacity_v", Q::molar_heat_capacity_v},
    {"heat_capacity_v", Q::molar_heat_capacity_v},
    {"molar_heat_capacity_p", Q::molar_heat_capacity_p},
    {"heat_capacity_p", Q::molar_heat_capacity_p},
    {"adiabatic_bulk_modulus", Q::adiabatic_bulk_modulus},
    {"thermal_energy", Q::thermal_energy},
    {"thermal_internal_energy", Q::thermal_energy},
    {"thermal_entropy", Q::thermal_entropy},
    {"thermal_enthalpy", Q::thermal_enthalpy},
    {"thermal_gibbs_free_energy", Q::thermal_gibbs_free_energy},
    {"thermal_helmholtz_free_energy", Q::thermal_helmholtz_free_energy},
    {"characteristic_temperature", Q::characteristic_temperature},
    {"vibrational_pressure", Q::vibrational_pressure},
    {"absolute_thermal_pressure", Q::absolute_thermal_pressure},
    {"vibrational_pressure_increment", Q::vibrational_pressure_increment},
    {"anharmonic_pressure_increment", Q::anharmonic_pressure_increment},
    {"electronic_pressure_increment", Q::electronic_pressure_increment},
}};

}  // namespace

std::optional<ThermalQuantity> thermal_quantity_from_name(std::string_view name) {
  return value_from_name(quantity_names, name);
}

ThermalQuantityResult evaluate_thermal_quantity(const ThermalModel& model, ThermalQuantity quantity,
                                                double first, double second) {
  return with_thermal_quantity(
      model, quantity,
      [first, second](const auto& element) -> ThermalQuantityResult { return element(first, second); });
}

EosResult<double> thermal_volume_with_dac_confinement(const ThermalModel& model, double cold_pressure,
                                                      double temperature, double f_dac) {
  return std::visit(
      [&](const auto& held) { return held.volume_with_dac_confinement(cold_pressure, temperature, f_dac); },
      model.variant());
}

}  // namespace nivaltus::thermal
