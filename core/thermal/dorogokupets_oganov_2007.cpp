#include "core/thermal/dorogokupets_oganov_2007.hpp"

#include <cmath>

#include "core/thermal/special_functions.hpp"

namespace nivaltus::thermal {

namespace {

// Scale of anharmonic_a and electronic_e, and the divisor of the anharmonic
// coefficient.
constexpr double micro = 1e-6;
constexpr double anharmonic_divisor = 6.0;

struct Oscillator {
  double theta0;
  double multiplicity;
  double d;  // shape of a Bose-type oscillator; unused for the Einstein type
  bool bose;
};

// gamma(x) = gamma_inf + (gamma0 - gamma_inf) x^beta.
double gamma_at(const DorogokupetsOganov2007& model, double x) {
  return model.gamma_inf + (model.gamma0 - model.gamma_inf) * std::pow(x, model.beta);
}

// theta_i(x) = (theta_i0 x^(-gamma_inf)) exp((1 - x^beta)(gamma0 - gamma_inf)/beta).
double theta_at(const DorogokupetsOganov2007& model, double theta0, double x) {
  return (theta0 * std::pow(x, -model.gamma_inf)) *
         std::exp((1.0 - std::pow(x, model.beta)) * ((model.gamma0 - model.gamma_inf) / model.beta));
}

// B1, B2, E1, E2, always in this order.
struct Oscillators {
  Oscillator items[4];
};

Oscillators oscillators(const DorogokupetsOganov2007& model) {
  return {{{model.theta_B1, model.m_B1, model.d_B1, true},
           {model.theta_B2, model.m_B2, model.d_B2, true},
           {model.theta_E1, model.m_E1, 0.0, false},
           {model.theta_E2, model.m_E2, 0.0, false}}};
}

// The Einstein occupation quantities at z = theta/T: m = 1 - e^(-z),
// B = e^(-z)/m = 1/(e^z - 1), h = B + 1/2, k = (B + 1) B.
struct Occupation {
  double m;
  double b;
  double h;
  double k;
};

Occupation occupation(double theta, double temperature) {
  const double z = theta / temperature;
  const double m = -std::expm1(-z);
  const double b = std::exp(-z) / m;
  return {m, b, b + 0.5, (b + 1.0) * b};
}

}  // namespace

EosResult<DorogokupetsOganov2007> DorogokupetsOganov2007::make(
    const RtModel& reference, double Tr, double theta_B1, double d_B1, double m_B1, double theta_B2,
    double d_B2, double m_B2, double theta_E1, double m_E1, double theta_E2, double m_E2, double gamma0,
    double gamma_inf, double beta, double anharmonic_a, double anharmonic_m, double electronic_e,
    double electronic_g, double defect_H, double defect_S, double n) {
  struct Positive {
    const char* field;
    double value;
  };
  const Positive positives[] = {
      {"Tr", Tr},
      {"theta_B1", theta_B1},
      {"d_B1", d_B1},
      {"m_B1", m_B1},
      {"theta_B2", theta_B2},
      {"d_B2", d_B2},
      {"m_B2", m_B2},
      {"theta_E1", theta_E1},
      {"m_E1", m_E1},
      {"theta_E2", theta_E2},
      {"m_E2", m_E2},
      {"gamma0", gamma0},
      {"gamma_inf", gamma_inf},
      {"beta", beta},
  };
  for (const Positive& p : positives) {
    if (!is_positive_finite(p.value)) return fail_parameter(p.field, phrase::positive_finite);
  }
  if (!is_finite(anharmonic_a)) return fail_parameter("anharmonic_a", phrase::finite);
  if (!is_finite(anharmonic_m)) return fail_parameter("anharmonic_m", phrase::finite);
  if (!is_finite(electronic_e)) return fail_parameter("electronic_e", phrase::finite);
  if (!is_finite(electronic_g)) return fail_parameter("electronic_g", phrase::finite);
  if (!is_positive_finite(defect_H)) return fail_parameter("defect_H", phrase::positive_finite);
  if (!is_finite(defect_S)) return fail_parameter("defect_S", phrase::finite);
  if (!is_positive_finite(n)) return fail_parameter("n", phrase::positive_finite);
  if (std::abs(-3.0 * n + (((m_B1 + m_B2) + m_E1) + m_E2)) > 0.005) {
    return fail_parameter("oscillator multiplicities", "must sum to three times the atom count");
  }
  return model_result<DorogokupetsOganov2007>(
      reference, Tr, theta_B1, d_B1, m_B1, theta_B2, d_B2, m_B2, theta_E1, m_E1, theta_E2, m_E2, gamma0,
      gamma_inf, beta, anharmonic_a, anharmonic_m, electronic_e, electronic_g, defect_H, defect_S, n);
}

EosResult<ThermodynamicTerms> DorogokupetsOganov2007::thermodynamic_terms(double volume,
                                                                          double temperature) const {
  if (auto bad = check_state(volume, temperature); !bad) return std::unexpected(bad.error());
  const double t = temperature;
  const double x = volume / reference.v0();
  const double x_m = std::pow(x, anharmonic_m);
  const double c = (n * 1.5) * gas_constant;

  double sum_f = 0.0, sum_e = 0.0, sum_cv = 0.0;
  for (const Oscillator& o : oscillators(*this).items) {
    const double theta = theta_at(*this, o.theta0, x);
    const double m_r = o.multiplicity * gas_constant;
    const Occupation occ = occupation(theta, t);
    // Per unit m R: free energy f, energy e and heat capacity cv of the mode.
    double f = 0.0, e = 0.0, cv = 0.0;
    if (o.bose) {
      // y = theta/(dT); w = -d ln(1 + y), so e^w = (1 + y)^(-d).
      const double d = o.d;
      const double y = theta / (t * d);
      const double w = -std::log1p(y) * d;
      const double g = std::exp(w);
      const double u = y + 1.0;
      const double lambda = theta / (t * u);
      const double b = g / -std::expm1(w);
      const double zero_point = ((d - 1.0) * theta) / (d + d);
      f = zero_point + std::log(-std::expm1(w)) * t;
      e = zero_point + theta * b / u;
      cv = ((y * b) / u + (b + 1.0) * (lambda * b)) * lambda;
    } else {
      const double z = theta / t;
      f = std::log(occ.m) * t + theta * 0.5;
      e = occ.h * theta;
      cv = (occ.b + 1.0) * ((z * z) * occ.b);
    }
    sum_cv += cv * m_r;

    // F_a = c_a f_a with f_a = (3h^2 - 1/2) theta^2; E_a = F_a - T dF_a/dT
    // with dh/dT = k theta / T^2; Cv_a = dE_a/dT.
    const double theta2 = theta * theta;
    const double t2 = t * t;
    const double c_a = (((anharmonic_a * m_r) * micro) * x_m) / anharmonic_divisor;
    const double f_a = ((occ.h * 3.0) * occ.h - 0.5) * theta2;
    const double s = (theta * theta2) * 6.0;
    const double e_a = f_a - (((s * occ.h) * occ.k) / t2) * t;
    const double p = (2.0 * occ.h) * occ.h + occ.k;
    const double r = p * (occ.k * theta) / (t2 * t2) - occ.k * (2.0 * occ.h) / (t2 * t);
    sum_f = c_a * f_a + (sum_f + m_r * f);
    sum_e = c_a * e_a + (sum_e + m_r * e);
    sum_cv = sum_cv - (c_a * t) * (r * s);
  }

  const double el = std::pow(x, electronic_g) * ((electronic_e * c) * micro);
  const double hd = defect_H / ((t * x) * x);
  const double defect = std::exp(defect_S / x - hd);

  const EosResult<double> f = finite_result((sum_f - (t * el) * t) - (t * c) * defect);
  if (!f) return std::unexpected(f.error());
  const EosResult<double> e = finite_result(((t * el) * t + sum_e) + hd * ((t * c) * defect));
  if (!e) return std::unexpected(e.error());
  const EosResult<double> entropy = finite_result((*e - *f) / t);
  if (!entropy) return std::unexpected(entropy.error());
  const EosResult<double> cv = finite_result((hd * hd) * (c * defect) + (sum_cv + t * (el + el)));
  if (!cv) return std::unexpected(cv.error());
  return ThermodynamicTerms{*f, *e, *entropy, *cv};
}

EosResult<double> DorogokupetsOganov2007::absolute_nonreference_pressure(double volume,
                                                                         double temperature) const {
  if (auto bad = check_state(volume, temperature); !bad) return std::unexpected(bad.error());
  const double t = temperature;
  const double x = volume / reference.v0();
  const double gamma = gamma_at(*this, x);
  const double x_m = std::pow(x, anharmonic_m);
  const double c = (n * 1.5) * gas_constant;

  const Oscillators all = oscillators(*this);
  double thetas[4];
  double energies[4];
  for (int i = 0; i < 4; ++i) thetas[i] = theta_at(*this, all.items[i].theta0, x);
  for (int i = 0; i < 4; ++i) {
    const Oscillator& o = all.items[i];
    const EosResult<double> energy =
        o.bose ? bose_mode_energy(thetas[i], t, o.d) : sokolova_einstein_energy(thetas[i], t);
    if (!energy) return energy;
    energies[i] = *energy;
  }

  // Quasi-harmonic q_i = m_i R E_i gamma / V, and the anharmonic
  // -dF_a/dV = -kappa_i (m G_i - Q_i) with dtheta/dV = -gamma theta / V.
  double sum_q = 0.0, sum_delta = 0.0;
  for (int i = 0; i < 4; ++i) {
    const double theta = thetas[i];
    const double m_r = all.items[i].multiplicity * gas_constant;
    const Occupation occ = occupation(theta, t);
    const double q = ((m_r * energies[i]) * gamma) / volume;
    const double kappa = (((m_r * anharmonic_a) * micro) * x_m) / (anharmonic_divisor * volume);
    const double g_i = ((theta + theta) * theta) * occ.k + (theta * occ.h) * (theta * occ.h);
    const double q_i =
        (gamma * theta) * (((occ.h - (theta / t) * occ.k) * (2.0 * theta * occ.h) + occ.k * (4.0 * theta)) -
                           (occ.k * (((theta + theta) * theta) / t)) * (2.0 * occ.b + 1.0));
    const double delta = kappa * (anharmonic_m * g_i - q_i);
    sum_q += q;
    sum_delta += delta;
  }

  const double p_el =
      (t * (t * ((((electronic_e * c) * micro) * electronic_g) * std::pow(x, electronic_g)))) / volume;
  const double defect = std::exp(defect_S / x - defect_H / ((t * x) * x));
  const double w = (defect_H + defect_H) / ((t * x) * x) - defect_S / x;
  const double p_def = (w * (defect * (c * t))) / volume;
  return finite_result(((p_el + (sum_q - sum_delta)) + p_def) / energy_per_pressure_volume);
}

EosResult<double> DorogokupetsOganov2007::thermal_enthalpy(double volume, double temperature) const {
  const EosResult<ThermodynamicTerms> terms = thermodynamic_terms(volume, temperature);
  if (!terms) return std::unexpected(terms.error());
  const EosResult<double> p = absolute_nonreference_pressure(volume, temperature);
  if (!p) return p;
  return finite_result(terms->internal_energy + (volume * *p) * energy_per_pressure_volume);
}

EosResult<double> DorogokupetsOganov2007::thermal_gibbs_free_energy(double volume, double temperature) const {
  const EosResult<ThermodynamicTerms> terms = thermodynamic_terms(volume, temperature);
  if (!terms) return std::unexpected(terms.error());
  const EosResult<double> p = absolute_nonreference_pressure(volume, temperature);
  if (!p) return p;
  return finite_result(terms->helmholtz_energy + (volume * *p) * energy_per_pressure_volume);
}

EosResult<double> DorogokupetsOganov2007::gruneisen_parameter(double volume, double temperature) const {
  const EosResult<double> alpha = thermal_expansivity(volume, temperature, internal_expansivity_step);
  if (!alpha) return alpha;
  const EosResult<double> k = bulk_modulus(volume, temperature, internal_bulk_modulus_step);
  if (!k) return k;
  const EosResult<double> cv = molar_heat_capacity_v(volume, temperature);
  if (!cv) return cv;
  return finite_result(((volume * (*alpha * *k)) * energy_per_pressure_volume) / *cv);
}

}  // namespace nivaltus::thermal
