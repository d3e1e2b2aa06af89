#include "core/thermal/thermal_quantity.hpp"

#include <array>
#include <type_traits>
#include <utility>

namespace nivaltus::thermal {
namespace {

using Q = ThermalQuantity;

constexpr std::array<std::pair<std::string_view, ThermalQuantity>, 26> quantity_names{{
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

ThermalQuantityResult lift(const EosResult<double>& result) {
  if (!result) return std::unexpected(ThermalQuantityError(result.error()));
  return *result;
}

ThermalQuantityResult unavailable() { return std::unexpected(ThermalQuantityError(QuantityUnavailable{})); }

// ---- thermal pressure and its increment ----------------------------------

// The models whose thermal pressure is already measured from Tr report it
// as the increment; the others use their own increment over Tr.
template <class Model>
constexpr bool increment_is_thermal_pressure =
    std::is_same_v<Model, AsymptoticPowerLawMieGruneisenDebye> || std::is_same_v<Model, Dewaele2006> ||
    std::is_same_v<Model, HollandPowellThermalPressure<RtModel>> ||
    std::is_same_v<Model, HollandPowellThermalPressure<isothermal::ModifiedTait>> ||
    std::is_same_v<Model, ThermalReferenceState> || std::is_same_v<Model, LinearThermalPressure> ||
    std::is_same_v<Model, LogVolumeThermalPressure>;

template <class Model>
ThermalQuantityResult thermal_pressure_increment_of(const Model& model, double volume, double temperature) {
  if constexpr (increment_is_thermal_pressure<Model>) {
    return lift(model.thermal_pressure(volume, temperature));
  } else {
    return lift(model.thermal_pressure_increment(volume, temperature));
  }
}

// ---- model-specific vocabularies -----------------------------------------

// Models with nothing beyond the quantities every model offers.
template <class Model>
ThermalQuantityResult specific_quantity(const Model&, Q, double, double) {
  return unavailable();
}

// gamma, Cv, Cp and K_S of a model with a heat-capacity law.
template <class Model>
ThermalQuantityResult caloric_quantity(const Model& model, Q quantity, double volume, double temperature) {
  switch (quantity) {
    case Q::gruneisen_parameter:
      return lift(model.gruneisen_parameter(volume, temperature));
    case Q::molar_heat_capacity_v:
      return lift(model.molar_heat_capacity_v(volume, temperature));
    case Q::molar_heat_capacity_p:
      return lift(model.molar_heat_capacity_p(volume, temperature));
    case Q::adiabatic_bulk_modulus:
      return lift(model.adiabatic_bulk_modulus(volume, temperature));
    default:
      return unavailable();
  }
}

// The two Mie-Grueneisen forms and the asymptotic power-law model: a Debye
// or Einstein solid with its energies, entropy and characteristic temperature.
template <class Model>
ThermalQuantityResult debye_like_quantity(const Model& model, Q quantity, double volume, double temperature) {
  switch (quantity) {
    case Q::thermal_energy:
      return lift(model.thermal_energy(volume, temperature));
    case Q::thermal_entropy:
      return lift(model.thermal_entropy(volume, temperature));
    case Q::thermal_enthalpy:
      return lift(model.thermal_enthalpy(volume, temperature));
    case Q::thermal_gibbs_free_energy:
      return lift(model.thermal_gibbs_free_energy(volume, temperature));
    case Q::thermal_helmholtz_free_energy:
      return lift(model.thermal_helmholtz_free_energy(volume, temperature));
    case Q::characteristic_temperature:
      return lift(model.characteristic_temperature(volume));
    case Q::vibrational_pressure:
      return lift(model.vibrational_pressure(volume, temperature));
    default:
      return caloric_quantity(model, quantity, volume, temperature);
  }
}

template <bool Debye>
ThermalQuantityResult specific_quantity(const MieGruneisen<Debye>& model, Q quantity, double volume,
                                        double temperature) {
  return debye_like_quantity(model, quantity, volume, temperature);
}

ThermalQuantityResult specific_quantity(const AsymptoticPowerLawMieGruneisenDebye& model, Q quantity,
                                        double volume, double temperature) {
  return debye_like_quantity(model, quantity, volume, temperature);
}

// The vibrational, anharmonic and electronic increments are the three terms
// that make up the model's thermal pressure.
ThermalQuantityResult specific_quantity(const Dewaele2006& model, Q quantity, double volume,
                                        double temperature) {
  switch (quantity) {
    case Q::gruneisen_parameter:
      return lift(model.gruneisen_parameter(volume, temperature));
    case Q::characteristic_temperature:
      return lift(model.characteristic_temperature(volume));
    case Q::vibrational_pressure_increment:
      return lift(model.vibrational_pressure_increment(volume, temperature));
    case Q::anharmonic_pressure_increment:
      return lift(model.anharmonic_pressure_increment(volume, temperature));
    case Q::electronic_pressure_increment:
      return lift(model.electronic_pressure_increment(volume, temperature));
    default:
      return unavailable();
  }
}

// F, E, S and Cv all come from one evaluation of the thermodynamic terms.
ThermalQuantityResult specific_quantity(const DorogokupetsOganov2007& model, Q quantity, double volume,
                                        double temperature) {
  const auto term = [&](double ThermodynamicTerms::*field) -> ThermalQuantityResult {
    const EosResult<ThermodynamicTerms> terms = model.thermodynamic_terms(volume, temperature);
    if (!terms) return std::unexpected(ThermalQuantityError(terms.error()));
    return (*terms).*field;
  };
  switch (quantity) {
    case Q::gruneisen_parameter:
      return lift(model.gruneisen_parameter(volume, temperature));
    case Q::molar_heat_capacity_v:
      return term(&ThermodynamicTerms::heat_capacity_v);
    case Q::molar_heat_capacity_p:
      return lift(model.molar_heat_capacity_p(volume, temperature));
    case Q::adiabatic_bulk_modulus:
      return lift(model.adiabatic_bulk_modulus(volume, temperature));
    case Q::thermal_energy:
      return term(&ThermodynamicTerms::internal_energy);
    case Q::thermal_entropy:
      return term(&ThermodynamicTerms::entropy);
    case Q::thermal_enthalpy:
      return lift(model.thermal_enthalpy(volume, temperature));
    case Q::thermal_gibbs_free_energy:
      return lift(model.thermal_gibbs_free_energy(volume, temperature));
    case Q::thermal_helmholtz_free_energy:
      return term(&ThermodynamicTerms::helmholtz_energy);
    case Q::absolute_thermal_pressure:
      return lift(model.absolute_nonreference_pressure(volume, temperature));
    default:
      return unavailable();
  }
}

template <class Reference>
ThermalQuantityResult specific_quantity(const HollandPowellThermalPressure<Reference>& model, Q quantity,
                                        double volume, double temperature) {
  return caloric_quantity(model, quantity, volume, temperature);
}

// ---- every model ---------------------------------------------------------

template <class Model>
ThermalQuantityResult evaluate_on(const Model& model, Q quantity, double first, double second) {
  switch (quantity) {
    case Q::volume:
      return lift(model.volume(first, second));
    case Q::pressure:
      return lift(model.pressure(first, second));
    case Q::temperature:
      return lift(model.temperature(first, second));
    case Q::bulk_modulus:
      return lift(model.bulk_modulus(first, second, internal_bulk_modulus_step));
    case Q::thermal_expansivity:
      return lift(model.thermal_expansivity(first, second, internal_expansivity_step));
    case Q::isothermal_compressibility:
      return lift(model.isothermal_compressibility(first, second));
    case Q::thermal_pressure:
      return lift(model.thermal_pressure(first, second));
    case Q::thermal_pressure_increment:
      return thermal_pressure_increment_of(model, first, second);
    default:
      return specific_quantity(model, quantity, first, second);
  }
}

}  // namespace

std::optional<ThermalQuantity> thermal_quantity_from_name(std::string_view name) {
  for (const auto& [text, quantity] : quantity_names) {
    if (text == name) return quantity;
  }
  return std::nullopt;
}

ThermalQuantityResult evaluate_thermal_quantity(const ThermalModel& model, ThermalQuantity quantity,
                                                double first, double second) {
  return std::visit([&](const auto& held) { return evaluate_on(held, quantity, first, second); },
                    model.variant());
}

EosResult<double> thermal_volume_with_dac_confinement(const ThermalModel& model, double cold_pressure,
                                                      double temperature, double f_dac) {
  return std::visit(
      [&](const auto& held) { return held.volume_with_dac_confinement(cold_pressure, temperature, f_dac); },
      model.variant());
}

}  // namespace nivaltus::thermal
