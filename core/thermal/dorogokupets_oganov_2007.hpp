#pragma once
// Dorogokupets-Oganov 2007 thermal model over an RtModel reference, built on
// one Helmholtz free energy F(V, T) per formula unit, x = V/V0:
//   - four oscillators B1, B2 (Bose type, shape d) and E1, E2 (Einstein
//     type), with multiplicities m_i summing to 3n and the common volume law
//       gamma(V)   = gamma_inf + (gamma0 - gamma_inf) x^beta
//       theta_i(V) = theta_i0 x^(-gamma_inf) exp((1 - x^beta)(gamma0 - gamma_inf)/beta);
//   - an intrinsic-anharmonic correction per oscillator,
//       F_a = (a 1e-6 m_i R x^m / 6) (3h^2 - 1/2) theta_i^2,
//     h = B + 1/2, B = 1/(e^(theta/T) - 1), k = B (B + 1) = T^2 dB/dT / theta;
//   - an electronic term F_el = -(3/2) n R e 1e-6 x^g T^2;
//   - a thermally activated defect term
//       F_def = -(3/2) n R T exp(S/x - H/(T x^2)).
// F, E, S and Cv include the zero-point energies; the thermal pressure is
// the absolute pressure -dF/dV / 10000 at T less that at Tr, so those cancel.

#include "core/error.hpp"
#include "core/parameter_table.hpp"
#include "core/rt_model.hpp"
#include "core/thermal/thermal_eos.hpp"

namespace nivaltus::thermal {

// Absolute thermal quantities at one (V, T), not referred to Tr.
struct ThermodynamicTerms {
  double helmholtz_energy;
  double internal_energy;
  double entropy;
  double heat_capacity_v;
};

struct DorogokupetsOganov2007 : ThermalEos<DorogokupetsOganov2007>, CaloricEos<DorogokupetsOganov2007> {
  RtModel reference;
  double Tr;
  double theta_B1;
  double d_B1;
  double m_B1;
  double theta_B2;
  double d_B2;
  double m_B2;
  double theta_E1;
  double m_E1;
  double theta_E2;
  double m_E2;
  double gamma0;
  double gamma_inf;
  double beta;
  double anharmonic_a;  // in units of 1e-6
  double anharmonic_m;
  double electronic_e;  // in units of 1e-6
  double electronic_g;
  double defect_H;
  double defect_S;
  double n;

  static constexpr ParameterTable<DorogokupetsOganov2007, 21> parameter_table() {
    return {{{"Tr", "tr", field<&DorogokupetsOganov2007::Tr>},
             {"theta_B1", "theta_b1", field<&DorogokupetsOganov2007::theta_B1>},
             {"d_B1", "d_b1", field<&DorogokupetsOganov2007::d_B1>},
             {"m_B1", "m_b1", field<&DorogokupetsOganov2007::m_B1>},
             {"theta_B2", "theta_b2", field<&DorogokupetsOganov2007::theta_B2>},
             {"d_B2", "d_b2", field<&DorogokupetsOganov2007::d_B2>},
             {"m_B2", "m_b2", field<&DorogokupetsOganov2007::m_B2>},
             {"theta_E1", "theta_e1", field<&DorogokupetsOganov2007::theta_E1>},
             {"m_E1", "m_e1", field<&DorogokupetsOganov2007::m_E1>},
             {"theta_E2", "theta_e2", field<&DorogokupetsOganov2007::theta_E2>},
             {"m_E2", "m_e2", field<&DorogokupetsOganov2007::m_E2>},
             {"gamma0", "gamma0", field<&DorogokupetsOganov2007::gamma0>},
             {"gamma_inf", "gamma_inf", field<&DorogokupetsOganov2007::gamma_inf>},
             {"beta", "beta", field<&DorogokupetsOganov2007::beta>},
             {"anharmonic_a", "anharmonic_a", field<&DorogokupetsOganov2007::anharmonic_a>},
             {"anharmonic_m", "anharmonic_m", field<&DorogokupetsOganov2007::anharmonic_m>},
             {"electronic_e", "electronic_e", field<&DorogokupetsOganov2007::electronic_e>},
             {"electronic_g", "electronic_g", field<&DorogokupetsOganov2007::electronic_g>},
             {"defect_H", "defect_h", field<&DorogokupetsOganov2007::defect_H>},
             {"defect_S", "defect_s", field<&DorogokupetsOganov2007::defect_S>},
             {"n", "n", field<&DorogokupetsOganov2007::n>}}};
  }

  // Single parameters in field order, then the multiplicity sum, which may
  // differ from 3n by at most 0.005.
  static EosResult<DorogokupetsOganov2007> make(const RtModel& reference, double Tr, double theta_B1,
                                                double d_B1, double m_B1, double theta_B2, double d_B2,
                                                double m_B2, double theta_E1, double m_E1, double theta_E2,
                                                double m_E2, double gamma0, double gamma_inf, double beta,
                                                double anharmonic_a, double anharmonic_m, double electronic_e,
                                                double electronic_g, double defect_H, double defect_S,
                                                double n);

  EosResult<ThermodynamicTerms> thermodynamic_terms(double volume, double temperature) const;

  // -dF/dV / 10000 at (V, T): every term, not referred to Tr.
  EosResult<double> absolute_nonreference_pressure(double volume, double temperature) const;

  // P_abs(V, T) - P_abs(V, Tr); exactly 0 at Tr.
  EosResult<double> thermal_pressure(double volume, double temperature) const {
    const EosResult<double> at_t = absolute_nonreference_pressure(volume, temperature);
    if (!at_t) return at_t;
    const EosResult<double> at_tr = absolute_nonreference_pressure(volume, Tr);
    if (!at_tr) return at_tr;
    return finite_result(*at_t - *at_tr);
  }

  // E + 10000 V P_abs and F + 10000 V P_abs.
  EosResult<double> thermal_enthalpy(double volume, double temperature) const;
  EosResult<double> thermal_gibbs_free_energy(double volume, double temperature) const;

  EosResult<double> molar_heat_capacity_v(double volume, double temperature) const {
    const EosResult<ThermodynamicTerms> terms = thermodynamic_terms(volume, temperature);
    if (!terms) return std::unexpected(terms.error());
    return terms->heat_capacity_v;
  }

  // Thermodynamic gamma = V alpha K_T 10000 / Cv.
  EosResult<double> gruneisen_parameter(double volume, double temperature) const;
};

}  // namespace nivaltus::thermal
