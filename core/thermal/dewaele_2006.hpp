#pragma once
// Dewaele 2006 thermal pressure over an RtModel reference, x = V/V0, every
// part measured from Tr:
//   gamma(V) = gamma_inf + (gamma0 - gamma_inf) x^beta
//   theta(V) = exp((1 - x^beta) (gamma0 - gamma_inf)/beta) theta0 x^(-gamma_inf)
//              (d ln theta / d ln V = -gamma, theta(V0) = theta0)
//   E(V, T)  = T 3nR D3(theta(V)/T)
//   P_vib    = gamma (E(V, T) - E(V, Tr)) / V / 10000
//   P_anh    = (3/2) n R a m x^m (T^2 - Tr^2) / V / 10000
//   P_el     = (3/2) n R e g x^g (T^2 - Tr^2) / V / 10000
// with a, m, e, g = anharmonic_a, anharmonic_m, electronic_e, electronic_g.
// The two quadratic terms are -dF/dV of F = -(3/2) n R a x^m T^2 and
// -(3/2) n R e x^g T^2 taken between Tr and T. No heat-capacity model.

#include <cmath>

#include "core/error.hpp"
#include "core/parameter_table.hpp"
#include "core/rt_model.hpp"
#include "core/thermal/special_functions.hpp"
#include "core/thermal/thermal_eos.hpp"

namespace nivaltus::thermal {

struct Dewaele2006 : ThermalEos<Dewaele2006> {
  RtModel reference;
  double Tr;
  double theta0;
  double gamma0;
  double gamma_inf;
  double beta;
  double anharmonic_a;
  double anharmonic_m;
  double electronic_e;
  double electronic_g;
  double n;

  static constexpr ParameterTable<Dewaele2006, 10> parameter_table() {
    return {{{"Tr", "tr", field<&Dewaele2006::Tr>},
             {"theta0", "theta0", field<&Dewaele2006::theta0>},
             {"gamma0", "gamma0", field<&Dewaele2006::gamma0>},
             {"gamma_inf", "gamma_inf", field<&Dewaele2006::gamma_inf>},
             {"beta", "beta", field<&Dewaele2006::beta>},
             {"anharmonic_a", "anharmonic_a", field<&Dewaele2006::anharmonic_a>},
             {"anharmonic_m", "anharmonic_m", field<&Dewaele2006::anharmonic_m>},
             {"electronic_e", "electronic_e", field<&Dewaele2006::electronic_e>},
             {"electronic_g", "electronic_g", field<&Dewaele2006::electronic_g>},
             {"n", "n", field<&Dewaele2006::n>}}};
  }

  // gamma0 and the bounds of gamma_inf come first, then the remaining
  // parameters in field order.
  static EosResult<Dewaele2006> make(const RtModel& reference, double Tr, double theta0, double gamma0,
                                     double gamma_inf, double beta, double anharmonic_a, double anharmonic_m,
                                     double electronic_e, double electronic_g, double n) {
    if (!is_positive_finite(gamma0)) return fail_parameter("gamma0", phrase::positive_finite);
    if (!is_finite(gamma_inf)) return fail_parameter("gamma_inf", phrase::finite);
    if (gamma_inf < 0.0) return fail_parameter("gamma_inf", "must not be negative");
    if (gamma_inf > gamma0) return fail_parameter("gamma_inf", "must not exceed gamma0");
    if (!is_positive_finite(Tr)) return fail_parameter("Tr", phrase::positive_finite);
    if (!is_positive_finite(theta0)) return fail_parameter("theta0", phrase::positive_finite);
    if (!is_positive_finite(beta)) return fail_parameter("beta", phrase::positive_finite);
    if (!is_finite(anharmonic_a)) return fail_parameter("anharmonic_a", phrase::finite);
    if (anharmonic_a < 0.0) return fail_parameter("anharmonic_a", "must not be negative");
    if (!is_positive_finite(anharmonic_m)) return fail_parameter("anharmonic_m", phrase::positive_finite);
    if (!is_finite(electronic_e)) return fail_parameter("electronic_e", phrase::finite);
    if (electronic_e < 0.0) return fail_parameter("electronic_e", "must not be negative");
    if (!is_positive_finite(electronic_g)) return fail_parameter("electronic_g", phrase::positive_finite);
    if (!is_positive_finite(n)) return fail_parameter("n", phrase::positive_finite);
    return model_result<Dewaele2006>(reference, Tr, theta0, gamma0, gamma_inf, beta, anharmonic_a,
                                     anharmonic_m, electronic_e, electronic_g, n);
  }

  // gamma(V) (E(V, T) - E(V, Tr)) / V / 10000, the Debye part alone.
  EosResult<double> vibrational_pressure_increment(double volume, double temperature) const {
    if (auto bad = check_state(volume, temperature); !bad) return std::unexpected(bad.error());
    const EosResult<double> theta = theta_at(volume);
    if (!theta) return theta;
    const EosResult<double> energy = debye_energy(*theta, n, temperature);
    if (!energy) return energy;
    // Always true for a model built by make.
    if (!is_positive_finite(Tr)) return fail_state("temperature", phrase::positive_finite);
    const EosResult<double> reference_energy = debye_energy(*theta, n, Tr);
    if (!reference_energy) return reference_energy;
    const EosResult<double> gamma = gamma_at(volume);
    if (!gamma) return gamma;
    return finite_result(*gamma * (*energy - *reference_energy) / volume / energy_per_pressure_volume);
  }

  // theta(V); the volume alone is checked.
  EosResult<double> characteristic_temperature(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    return theta_at(volume);
  }

  // gamma(V); the temperature is neither tested nor used.
  EosResult<double> gruneisen_parameter(double volume, double /*temperature*/) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    return gamma_at(volume);
  }

  // The intrinsic-anharmonic term (3/2) n R a m x^m (T^2 - Tr^2) / V / 10000.
  EosResult<double> anharmonic_pressure_increment(double volume, double temperature) const {
    if (auto bad = check_state(volume, temperature); !bad) return std::unexpected(bad.error());
    return anharmonic_term(volume, temperature);
  }

  // The electronic term (3/2) n R e g x^g (T^2 - Tr^2) / V / 10000.
  EosResult<double> electronic_pressure_increment(double volume, double temperature) const {
    if (auto bad = check_state(volume, temperature); !bad) return std::unexpected(bad.error());
    return electronic_term(volume, temperature);
  }

  // (P_vib + P_anh) + P_el; P_vib makes the checks of V and T.
  EosResult<double> thermal_pressure(double volume, double temperature) const {
    const EosResult<double> vibrational = vibrational_pressure_increment(volume, temperature);
    if (!vibrational) return vibrational;
    const EosResult<double> anharmonic = anharmonic_term(volume, temperature);
    if (!anharmonic) return anharmonic;
    const EosResult<double> electronic = electronic_term(volume, temperature);
    if (!electronic) return electronic;
    return finite_result((*vibrational + *anharmonic) + *electronic);
  }

 private:
  EosResult<double> theta_at(double volume) const {
    const double x = volume / reference.v0();
    return finite_result(std::exp((1.0 - std::pow(x, beta)) * ((gamma0 - gamma_inf) / beta)) *
                         (theta0 * std::pow(x, -gamma_inf)));
  }

  EosResult<double> gamma_at(double volume) const {
    return finite_result(gamma_inf + (gamma0 - gamma_inf) * std::pow(volume / reference.v0(), beta));
  }

  // (3/2) n R, the prefactor of both quadratic terms.
  double quadratic_prefactor() const { return (n * 1.5) * gas_constant; }

  EosResult<double> anharmonic_term(double volume, double temperature) const {
    const double x = volume / reference.v0();
    return finite_result(
        (std::pow(x, anharmonic_m) * ((anharmonic_a * quadratic_prefactor()) * anharmonic_m)) *
        (temperature * temperature - Tr * Tr) / volume / energy_per_pressure_volume);
  }

  EosResult<double> electronic_term(double volume, double temperature) const {
    const double x = volume / reference.v0();
    return finite_result(
        (temperature * temperature - Tr * Tr) *
        (std::pow(x, electronic_g) * ((quadratic_prefactor() * electronic_e) * electronic_g)) / volume /
        energy_per_pressure_volume);
  }
};

}  // namespace nivaltus::thermal
