#include "core/thermal/multi_oscillator_gruneisen.hpp"

#include <cmath>
#include <string_view>

#include "core/quadrature/integrate.hpp"
#include "core/root/solve_temperature.hpp"
#include "core/thermal/special_functions.hpp"

namespace nivaltus::thermal {

namespace {

// Relative volume step of the reference model's K' at V and at every
// abscissa of the Grueneisen integral.
constexpr double kprime_step = 1e-6;

constexpr std::string_view past_spinodal =
    "lies past the reference isotherm's spinodal, where its bulk modulus is not positive";

// The four mode energies at one temperature, in the order b, b1, e1, e2.
struct ModeEnergies {
  double b, b1, e1, e2;
};

EosResult<ModeEnergies> mode_energies(const MultiOscillatorParameters& p, const VolumeTerms& terms,
                                      double temperature) {
  const EosResult<double> b = bose_mode_energy(terms.theta_b, temperature, p.d);
  if (!b) return std::unexpected(b.error());
  const EosResult<double> b1 = bose_mode_energy(terms.theta_b1, temperature, p.d1);
  if (!b1) return std::unexpected(b1.error());
  const EosResult<double> e1 = sokolova_einstein_energy(terms.theta_e1, temperature);
  if (!e1) return std::unexpected(e1.error());
  const EosResult<double> e2 = sokolova_einstein_energy(terms.theta_e2, temperature);
  if (!e2) return std::unexpected(e2.error());
  return ModeEnergies{*b, *b1, *e1, *e2};
}

// sum_k ((m_k R) E_k) gamma / V in the order b, b1, e1, e2. The same
// operations at T and at Tr make P_th(V, Tr) exactly 0.
double oscillator_pressure(const MultiOscillatorParameters& p, const ModeEnergies& e, double gamma,
                           double volume) {
  const auto term = [gamma, volume](double multiplicity, double energy) {
    return (((multiplicity * gas_constant) * energy) * gamma) / volume;
  };
  return ((term(p.mb, e.b) + term(p.mb1, e.b1)) + term(p.mE1, e.e1)) + term(p.mE2, e.e2);
}

}  // namespace

EosResult<MultiOscillatorGruneisen> MultiOscillatorGruneisen::new_with_atom_count(
    const RtModel& reference, const MultiOscillatorParameters& p, double n) {
  // "must not be negative" rejects values below 0.0; -0.0 passes.
  const auto multiplicity = [](std::string_view field, double value) -> EosResult<void> {
    if (!is_finite(value)) return fail_parameter(field, phrase::finite);
    if (value < 0.0) return fail_parameter(field, "must not be negative");
    return {};
  };
  if (!is_positive_finite(p.Tr)) return fail_parameter("Tr", phrase::positive_finite);
  if (!is_positive_finite(p.QE1o)) return fail_parameter("QE1o", phrase::positive_finite);
  if (auto bad = multiplicity("mE1", p.mE1); !bad) return std::unexpected(bad.error());
  if (!is_positive_finite(p.QE2o)) return fail_parameter("QE2o", phrase::positive_finite);
  if (auto bad = multiplicity("mE2", p.mE2); !bad) return std::unexpected(bad.error());
  if (!is_finite(p.delta)) return fail_parameter("delta", phrase::finite);
  if (!is_finite(p.t)) return fail_parameter("t", phrase::finite);
  if (!is_finite(p.a_0)) return fail_parameter("a_0", phrase::finite);
  if (!is_finite(p.m)) return fail_parameter("m", phrase::finite);
  if (!is_finite(p.g)) return fail_parameter("g", phrase::finite);
  if (!is_finite(p.e_0)) return fail_parameter("e_0", phrase::finite);
  if (!is_finite(p.beta)) return fail_parameter("beta", phrase::finite);
  if (!is_positive_finite(p.QBo)) return fail_parameter("QBo", phrase::positive_finite);
  if (!is_positive_finite(p.d)) return fail_parameter("d", phrase::positive_finite);
  if (auto bad = multiplicity("mb", p.mb); !bad) return std::unexpected(bad.error());
  if (!is_positive_finite(p.QB1o)) return fail_parameter("QB1o", phrase::positive_finite);
  if (!is_positive_finite(p.d1)) return fail_parameter("d1", phrase::positive_finite);
  if (auto bad = multiplicity("mb1", p.mb1); !bad) return std::unexpected(bad.error());
  if (!is_positive_finite(n)) return fail_parameter("n", phrase::positive_finite);
  return model_result<MultiOscillatorGruneisen>(reference, p, n);
}

EosResult<VolumeTerms> MultiOscillatorGruneisen::volume_terms(double volume) const {
  if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
  const MultiOscillatorParameters& p = parameters;
  const double v0 = reference.v0();
  const double x = volume / v0;

  const EosResult<double> pressure = reference.pressure(volume);
  if (!pressure) return std::unexpected(pressure.error());
  const EosResult<double> k = reference.bulk_modulus(volume);
  if (!k) return std::unexpected(k.error());
  // Past the spinodal the reference pressure has passed its extremum: K' =
  // dK/dP divides by a vanishing pressure difference and gamma, the integrand
  // included, is noise. The solid there is under tension beyond mechanical
  // stability; the volume is refused before K' and the quadrature.
  if (!(*k > 0.0)) return fail_state("volume", past_spinodal);
  const EosResult<double> k_prime = reference.bulk_modulus_derivative(volume, kprime_step);
  if (!k_prime) return std::unexpected(k_prime.error());
  if (!is_positive_finite(x)) return fail_state("volume ratio", phrase::positive_finite);

  // A pole of gamma between V0 and V fails V at once instead of in the
  // quadrature.
  const EosResult<double> gamma_at_v =
      sokolova_gruneisen_parameter(x, *pressure, *k, *k_prime, p.delta, p.t, p.beta);
  if (!gamma_at_v) return std::unexpected(gamma_at_v.error());
  const double gamma = *gamma_at_v;

  // I(x) = int_x^1 gamma(x')/x' dx', negative for x > 1 and exactly 0 at V0.
  const RtModel& ref = reference;
  const EosResult<double> integral = quadrature::integrate(
      [&ref, &p, v0](double xi) -> EosResult<double> {
        const double vi = v0 * xi;
        const EosResult<double> pi = ref.pressure(vi);
        if (!pi) return pi;
        const EosResult<double> ki = ref.bulk_modulus(vi);
        if (!ki) return ki;
        const EosResult<double> ki_prime = ref.bulk_modulus_derivative(vi, kprime_step);
        if (!ki_prime) return ki_prime;
        return sokolova_gruneisen_integrand(xi, *pi, *ki, *ki_prime, p.delta, p.t, p.beta);
      },
      x, 1.0);
  if (!integral) return std::unexpected(integral.error());
  const double e = std::exp(*integral);

  VolumeTerms terms{volume, gamma, p.QBo * e, p.QB1o * e, p.QE1o * e, p.QE2o * e, 0.0, 0.0};
  const EosResult<ModeEnergies> at_tr = mode_energies(p, terms, p.Tr);
  if (!at_tr) return std::unexpected(at_tr.error());
  if (!is_finite(gamma) || !is_finite(e)) return std::unexpected(EosError::non_finite_result());

  const EosResult<double> reference_pressure = finite_result(oscillator_pressure(p, *at_tr, gamma, volume));
  if (!reference_pressure) return std::unexpected(reference_pressure.error());
  const EosResult<double> a =
      finite_result((p.g * (p.e_0 * std::pow(x, p.g)) + p.m * (p.a_0 * std::pow(x, p.m))) *
                    ((((n * 1.5) * gas_constant) / 1000000.0) / volume));
  if (!a) return std::unexpected(a.error());
  terms.reference_oscillator_pressure = *reference_pressure;
  terms.t2_coefficient = *a;
  return terms;
}

EosResult<double> MultiOscillatorGruneisen::thermal_pressure_from_terms(const VolumeTerms& terms,
                                                                        double temperature) const {
  if (!is_positive_finite(temperature)) return fail_state("temperature", phrase::positive_finite);
  const MultiOscillatorParameters& p = parameters;
  const EosResult<ModeEnergies> at_t = mode_energies(p, terms, temperature);
  if (!at_t) return std::unexpected(at_t.error());
  const double s = oscillator_pressure(p, *at_t, terms.gamma, terms.volume);
  return finite_result(((s - terms.reference_oscillator_pressure) +
                        (temperature * temperature - p.Tr * p.Tr) * terms.t2_coefficient) /
                       energy_per_pressure_volume);
}

EosResult<double> MultiOscillatorGruneisen::temperature(double pressure, double volume) const {
  if (!is_finite(pressure)) return fail_state("pressure", phrase::finite);
  if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
  const EosResult<double> cold = reference.pressure(volume);
  if (!cold) return cold;
  const EosResult<VolumeTerms> terms = volume_terms(volume);
  if (!terms) return std::unexpected(terms.error());
  return root::solve_temperature_function(
      [this, &terms](double t) { return thermal_pressure_from_terms(*terms, t); }, pressure - *cold,
      parameters.Tr);
}

}  // namespace nivaltus::thermal
