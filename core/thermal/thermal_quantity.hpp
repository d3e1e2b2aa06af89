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

namespace detail {

using Q = ThermalQuantity;

inline ThermalQuantityResult lift(const EosResult<double>& result) {
  if (!result) return std::unexpected(ThermalQuantityError(result.error()));
  return *result;
}

// The element function of a quantity the model does not offer.
inline ThermalQuantityResult unavailable(double, double) {
  return std::unexpected(ThermalQuantityError(QuantityUnavailable{}));
}

// Every `resolve_*` below finds the member function of the concrete Model
// that answers `quantity` and returns use(element), where element(first,
// second) -> ThermalQuantityResult calls that member directly; use(unavailable)
// when the model's vocabulary lacks the quantity. The element holds the model
// by reference.

// Models with nothing beyond the quantities every model offers.
template <class Model, class Use>
decltype(auto) resolve_specific(const Model&, Q, Use&& use) {
  return use(unavailable);
}

// gamma, Cv, Cp and K_S of a model with a heat-capacity law.
template <class Model, class Use>
decltype(auto) resolve_caloric(const Model& m, Q quantity, Use&& use) {
  switch (quantity) {
    case Q::gruneisen_parameter:
      return use([&m](double v, double t) { return lift(m.gruneisen_parameter(v, t)); });
    case Q::molar_heat_capacity_v:
      return use([&m](double v, double t) { return lift(m.molar_heat_capacity_v(v, t)); });
    case Q::molar_heat_capacity_p:
      return use([&m](double v, double t) { return lift(m.molar_heat_capacity_p(v, t)); });
    case Q::adiabatic_bulk_modulus:
      return use([&m](double v, double t) { return lift(m.adiabatic_bulk_modulus(v, t)); });
    default:
      return use(unavailable);
  }
}

// The two Mie-Grueneisen forms and the asymptotic power-law model: a Debye
// or Einstein solid with its energies, entropy and characteristic temperature.
template <class Model, class Use>
decltype(auto) resolve_debye_like(const Model& m, Q quantity, Use&& use) {
  switch (quantity) {
    case Q::thermal_energy:
      return use([&m](double v, double t) { return lift(m.thermal_energy(v, t)); });
    case Q::thermal_entropy:
      return use([&m](double v, double t) { return lift(m.thermal_entropy(v, t)); });
    case Q::thermal_enthalpy:
      return use([&m](double v, double t) { return lift(m.thermal_enthalpy(v, t)); });
    case Q::thermal_gibbs_free_energy:
      return use([&m](double v, double t) { return lift(m.thermal_gibbs_free_energy(v, t)); });
    case Q::thermal_helmholtz_free_energy:
      return use([&m](double v, double t) { return lift(m.thermal_helmholtz_free_energy(v, t)); });
    case Q::characteristic_temperature:
      return use([&m](double v, double) { return lift(m.characteristic_temperature(v)); });
    case Q::vibrational_pressure:
      return use([&m](double v, double t) { return lift(m.vibrational_pressure(v, t)); });
    default:
      return resolve_caloric(m, quantity, use);
  }
}

template <bool Debye, class Use>
decltype(auto) resolve_specific(const MieGruneisen<Debye>& m, Q quantity, Use&& use) {
  return resolve_debye_like(m, quantity, use);
}

template <class Use>
decltype(auto) resolve_specific(const AsymptoticPowerLawMieGruneisenDebye& m, Q quantity, Use&& use) {
  return resolve_debye_like(m, quantity, use);
}

// The vibrational, anharmonic and electronic increments are the three terms
// that make up the model's thermal pressure.
template <class Use>
decltype(auto) resolve_specific(const Dewaele2006& m, Q quantity, Use&& use) {
  switch (quantity) {
    case Q::gruneisen_parameter:
      return use([&m](double v, double t) { return lift(m.gruneisen_parameter(v, t)); });
    case Q::characteristic_temperature:
      return use([&m](double v, double) { return lift(m.characteristic_temperature(v)); });
    case Q::vibrational_pressure_increment:
      return use([&m](double v, double t) { return lift(m.vibrational_pressure_increment(v, t)); });
    case Q::anharmonic_pressure_increment:
      return use([&m](double v, double t) { return lift(m.anharmonic_pressure_increment(v, t)); });
    case Q::electronic_pressure_increment:
      return use([&m](double v, double t) { return lift(m.electronic_pressure_increment(v, t)); });
    default:
      return use(unavailable);
  }
}

// F, E, S and Cv all come from one evaluation of the thermodynamic terms.
template <class Use>
decltype(auto) resolve_specific(const DorogokupetsOganov2007& m, Q quantity, Use&& use) {
  const auto term = [&m](double ThermodynamicTerms::* field) {
    return [&m, field](double v, double t) -> ThermalQuantityResult {
      const EosResult<ThermodynamicTerms> terms = m.thermodynamic_terms(v, t);
      if (!terms) return std::unexpected(ThermalQuantityError(terms.error()));
      return (*terms).*field;
    };
  };
  switch (quantity) {
    case Q::gruneisen_parameter:
      return use([&m](double v, double t) { return lift(m.gruneisen_parameter(v, t)); });
    case Q::molar_heat_capacity_v:
      return use(term(&ThermodynamicTerms::heat_capacity_v));
    case Q::molar_heat_capacity_p:
      return use([&m](double v, double t) { return lift(m.molar_heat_capacity_p(v, t)); });
    case Q::adiabatic_bulk_modulus:
      return use([&m](double v, double t) { return lift(m.adiabatic_bulk_modulus(v, t)); });
    case Q::thermal_energy:
      return use(term(&ThermodynamicTerms::internal_energy));
    case Q::thermal_entropy:
      return use(term(&ThermodynamicTerms::entropy));
    case Q::thermal_enthalpy:
      return use([&m](double v, double t) { return lift(m.thermal_enthalpy(v, t)); });
    case Q::thermal_gibbs_free_energy:
      return use([&m](double v, double t) { return lift(m.thermal_gibbs_free_energy(v, t)); });
    case Q::thermal_helmholtz_free_energy:
      return use(term(&ThermodynamicTerms::helmholtz_energy));
    case Q::absolute_thermal_pressure:
      return use([&m](double v, double t) { return lift(m.absolute_nonreference_pressure(v, t)); });
    default:
      return use(unavailable);
  }
}

template <class Reference, class Use>
decltype(auto) resolve_specific(const HollandPowellThermalPressure<Reference>& m, Q quantity, Use&& use) {
  return resolve_caloric(m, quantity, use);
}

// The quantities every model offers, then the model's own vocabulary.
template <class Model, class Use>
decltype(auto) resolve_quantity(const Model& m, Q quantity, Use&& use) {
  switch (quantity) {
    case Q::volume:
      return use([&m](double p, double t) { return lift(m.volume(p, t)); });
    case Q::pressure:
      return use([&m](double v, double t) { return lift(m.pressure(v, t)); });
    case Q::temperature:
      return use([&m](double p, double v) { return lift(m.temperature(p, v)); });
    case Q::bulk_modulus:
      return use([&m](double v, double t) { return lift(m.bulk_modulus(v, t, internal_bulk_modulus_step)); });
    case Q::thermal_expansivity:
      return use(
          [&m](double v, double t) { return lift(m.thermal_expansivity(v, t, internal_expansivity_step)); });
    case Q::isothermal_compressibility:
      return use([&m](double v, double t) { return lift(m.isothermal_compressibility(v, t)); });
    case Q::thermal_pressure:
      return use([&m](double v, double t) { return lift(m.thermal_pressure(v, t)); });
    case Q::thermal_pressure_increment:
      return use([&m](double v, double t) { return lift(m.thermal_pressure_increment(v, t)); });
    default:
      return resolve_specific(m, quantity, use);
  }
}

}  // namespace detail

// Resolves the held model's kind and the quantity once and returns
// use(element), where element(first, second) -> ThermalQuantityResult
// evaluates the quantity on the concrete model held (QuantityUnavailable when
// its vocabulary lacks it). Every branch's use(...) must return one type. The
// element refers to `model`, which must outlive it.
template <class Use>
decltype(auto) with_thermal_quantity(const ThermalModel& model, ThermalQuantity quantity, Use&& use) {
  return std::visit(
      [&](const auto& held) -> decltype(auto) { return detail::resolve_quantity(held, quantity, use); },
      model.variant());
}

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
