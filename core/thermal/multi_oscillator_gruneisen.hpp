#pragma once
// Multi-oscillator Grueneisen thermal model over an RtModel reference, x = V/V0:
// two Bose-type modes (b, b1) and two Einstein modes with zero-point energy
// (e1, e2) share one Grueneisen parameter, taken from the reference isotherm's
// P, K and K' at V,
//   f     = t - beta x^(1/3)
//   gamma = delta + (K'/2 - 1/6 - (f/3)(1 - P/(3K))) / (1 - 2fP/(3K)),
// and characteristic temperatures theta_k(V) = theta_k(V0) e^I with
//   I(x) = int_x^1 gamma(x')/x' dx'   (so d ln theta / d ln V = -gamma).
// The thermal pressure is
//   P_th = [gamma R / V sum_k m_k (E_k(theta_k, T) - E_k(theta_k, Tr))
//           + A (T^2 - Tr^2)] / 10000,
//   A = (g e_0 x^g + m a_0 x^m) (3/2) n R 1e-6 / V.
// Everything that depends on V alone, the quadrature included, is gathered in
// VolumeTerms; nothing is cached between evaluations.

#include "core/error.hpp"
#include "core/rt_model.hpp"
#include "core/thermal/thermal_eos.hpp"

namespace nivaltus::thermal {

// The eighteen parameters of the model besides the atom count, in this order.
struct MultiOscillatorParameters {
  double Tr;
  double QE1o;  // Einstein mode 1: theta at V0, multiplicity
  double mE1;
  double QE2o;  // Einstein mode 2
  double mE2;
  double delta;  // added to the Grueneisen parameter
  double t;
  double a_0;  // anharmonic coefficient and volume exponent
  double m;
  double g;  // electronic volume exponent and coefficient
  double e_0;
  double beta;  // cube-root correction to t
  double QBo;   // Bose mode 1: theta at V0, shape, multiplicity
  double d;
  double mb;
  double QB1o;  // Bose mode 2
  double d1;
  double mb1;
};

// What the thermal pressure needs of the volume V.
struct VolumeTerms {
  double volume;
  double gamma;
  double theta_b;
  double theta_b1;
  double theta_e1;
  double theta_e2;
  // gamma R / V sum_k m_k E_k(theta_k, Tr), not yet divided by 10000.
  double reference_oscillator_pressure;
  // A, the coefficient of T^2 - Tr^2.
  double t2_coefficient;
};

struct MultiOscillatorGruneisen : ThermalEos<MultiOscillatorGruneisen> {
  RtModel reference;
  MultiOscillatorParameters parameters;
  double n;

  // Checks the parameters in record order, then n. The multiplicities need
  // not add up to anything.
  static EosResult<MultiOscillatorGruneisen> new_with_atom_count(const RtModel& reference,
                                                                 const MultiOscillatorParameters& parameters,
                                                                 double n);

  // Checks V; runs the Grueneisen integral between V and V0.
  EosResult<VolumeTerms> volume_terms(double volume) const;

  // Checks T; four mode energies at T against the terms of V.
  EosResult<double> thermal_pressure_from_terms(const VolumeTerms& terms, double temperature) const;

  // Every volume failure is reported before a bad temperature.
  EosResult<double> thermal_pressure(double volume, double temperature) const {
    const EosResult<VolumeTerms> terms = volume_terms(volume);
    if (!terms) return std::unexpected(terms.error());
    return thermal_pressure_from_terms(*terms, temperature);
  }

  // The volume terms are computed once; the solver varies T alone.
  EosResult<double> temperature(double pressure, double volume) const;

  double reference_temperature() const { return parameters.Tr; }
};

}  // namespace nivaltus::thermal
