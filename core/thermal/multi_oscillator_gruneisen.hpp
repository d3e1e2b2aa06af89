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

#include <array>

#include "core/error.hpp"
#include "core/parameter_table.hpp"
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

  // The Python constructors default the last Bose modes to inert ones and
  // take n from a Holzapfel reference when it is None.
  static constexpr ParameterTable<MultiOscillatorGruneisen, 19> parameter_table() {
    using Model = MultiOscillatorGruneisen;
    using Record = MultiOscillatorParameters;
    return {{{"Tr", "tr", field<&Model::parameters, &Record::Tr>},
             {"QE1o", "qe1o", field<&Model::parameters, &Record::QE1o>},
             {"mE1", "me1", field<&Model::parameters, &Record::mE1>},
             {"QE2o", "qe2o", field<&Model::parameters, &Record::QE2o>},
             {"mE2", "me2", field<&Model::parameters, &Record::mE2>},
             {"delta", "delta", field<&Model::parameters, &Record::delta>},
             {"t", "t", field<&Model::parameters, &Record::t>},
             {"a_0", "a_0", field<&Model::parameters, &Record::a_0>},
             {"m", "m", field<&Model::parameters, &Record::m>},
             {"g", "g", field<&Model::parameters, &Record::g>},
             {"e_0", "e_0", field<&Model::parameters, &Record::e_0>},
             {"beta", "beta", field<&Model::parameters, &Record::beta>, python_default(0.0)},
             {"QBo", "qbo", field<&Model::parameters, &Record::QBo>, python_default(1.0)},
             {"d", "d", field<&Model::parameters, &Record::d>, python_default(1.0)},
             {"mb", "mb", field<&Model::parameters, &Record::mb>, python_default(0.0)},
             {"QB1o", "qb1o", field<&Model::parameters, &Record::QB1o>, python_default(1.0)},
             {"d1", "d1", field<&Model::parameters, &Record::d1>, python_default(1.0)},
             {"mb1", "mb1", field<&Model::parameters, &Record::mb1>, python_default(0.0)},
             {"n", "n", field<&Model::n>, python_none}}};
  }

  // Checks the parameters in record order, then n. The multiplicities need
  // not add up to anything.
  static EosResult<MultiOscillatorGruneisen> new_with_atom_count(const RtModel& reference,
                                                                 const MultiOscillatorParameters& parameters,
                                                                 double n);

  // The model from the values of its parameter table, in table order.
  static EosResult<MultiOscillatorGruneisen> from_table_values(const RtModel& reference,
                                                               const std::array<double, 19>& v) {
    const MultiOscillatorParameters parameters{v[0], v[1],  v[2],  v[3],  v[4],  v[5],  v[6],  v[7],  v[8],
                                               v[9], v[10], v[11], v[12], v[13], v[14], v[15], v[16], v[17]};
    return new_with_atom_count(reference, parameters, v[18]);
  }

  // Checks V and refuses a volume past the reference isotherm's spinodal
  // (K <= 0) as an invalid "volume"; runs the Grueneisen integral between V
  // and V0.
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
