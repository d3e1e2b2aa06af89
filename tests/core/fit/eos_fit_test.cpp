// The EOS fitting fronts: a thermal model recovered from closed-form data, the
// errors-in-variables line against its closed-form estimates and statistics,
// the observation checks in their order (dense BM3 fits: the Python tests).

#include <gtest/gtest.h>

#include <cmath>
#include <expected>
#include <functional>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "core/fit/eos/fit_isothermal_eos.hpp"
#include "core/fit/eos/fit_thermal_eos.hpp"
#include "core/rt_model.hpp"
#include "core/thermal/mie_gruneisen.hpp"
#include "core/thermal/thermal_model.hpp"
#include "tests/core/test_support.hpp"

namespace nivaltus::test {
namespace {

using fit::FitResult;
using fit::eos::EosFitResult;
using fit::eos::Slice;

template <class Model>
FitResult<Model> or_fit_error(const EosResult<Model>& model) {
  if (!model) return fit::fail_eos(model.error());
  return *model;
}

// (V0, K0, K0') → BM3.
FitResult<RtModel> build_bm3(Slice p) {
  return or_fit_error<RtModel>(isothermal::BM3::make(p[0], p[1], p[2]));
}
// BM3 in x = V/V0: P = 1.5 K0 (x^(-7/3) - x^(-5/3)) (1 + 0.75 (K0' - 4)(x^(-2/3) - 1)).
double bm3_pressure(double v0, double k0, double k0p, double v) {
  const double x = v / v0;
  return 1.5 * k0 * (std::pow(x, -7.0 / 3.0) - std::pow(x, -5.0 / 3.0)) *
         (1.0 + 0.75 * (k0p - 4.0) * (std::pow(x, -2.0 / 3.0) - 1.0));
}

// Mie-Grueneisen-Debye over BM3 with Tr = 300, θ0 = 773, q = 1.5, two atoms;
// fitted parameters (V0, K0, K0', γ0).
// Via build_bm3: a temporary RtModel(BM3) draws GCC's false -Wmaybe-uninitialized (unused variant bytes).
FitResult<ThermalModel> build_mgd(Slice p) {
  const auto reference = build_bm3(p);
  if (!reference) return std::unexpected(reference.error());
  return or_fit_error<ThermalModel>(
      thermal::build_mie_gruneisen_debye(*reference, 300.0, 773.0, p[3], 1.5, 2.0));
}

// P = P_BM3(V) + γ/V (E(T) - E(300)) / 10⁴ with γ = γ0 x^1.5,
// θ = 773 exp(-γ0 (x^1.5 - 1)/1.5), E(T) = 3 n R T D3(θ/T), n = 2, and
// D3(u) = 3/u³ ∫0^u t³/(e^t - 1) dt by composite Simpson over 2000 panels.
double mgd_pressure(double v0, double k0, double k0p, double gamma0, double v, double t) {
  const double xq = std::pow(v / v0, 1.5);
  const double theta = 773.0 * std::exp(-gamma0 * (xq - 1.0) / 1.5);
  const auto energy = [&](double temperature) {
    const double u = theta / temperature, h = u / 2000;
    const auto f = [](double s) { return s == 0.0 ? 0.0 : s * s * s / std::expm1(s); };
    double sum = f(0.0) + f(u);
    for (int i = 1; i < 2000; ++i) sum += (i % 2 ? 4.0 : 2.0) * f(i * h);
    return 6.0 * 8.31446261815324 * temperature * 3.0 / (u * u * u) * sum * h / 3.0;
  };
  return bm3_pressure(v0, k0, k0p, v) + gamma0 * xq / v * (energy(t) - energy(300.0)) / 1e4;
}

// Owned pressure-volume(-temperature) observations and their views.
struct OwnedObservations {
  std::vector<double> pressure{}, volume{}, temperature{}, pressure_sigma{};
  std::optional<std::vector<double>> volume_sigma{}, temperature_sigma{}, factors{};

  static fit::eos::OptionalSlice view(const std::optional<std::vector<double>>& values) {
    return values ? fit::eos::OptionalSlice(Slice(*values)) : std::nullopt;
  }
  fit::eos::PressureVolumeObservations pv() const {
    return {pressure, volume, pressure_sigma, view(volume_sigma), view(factors)};
  }
  fit::eos::PressureVolumeTemperatureObservations pvt() const {
    return {pressure,     volume, temperature, pressure_sigma, view(volume_sigma), view(temperature_sigma),
            view(factors)};
  }
};

fit::SolverOptions tight_options() { return {2000, 1.0, 1e-12, 1e-12, 1e-12}; }

TEST(ThermalFit, RecoversMieGruneisenDebyeOverBm3) {
  const struct {
    bool latent_volumes, latent_temperatures, correlated;
  } cases[] = {{false, false, false}, {true, false, false}, {false, true, false}, {true, true, true}};
  const double truth[4] = {11.25, 160.2, 4.15, 1.52};  // V0, K0, K0', γ0
  const std::vector<double> initial = {11.0, 140.0, 4.6, 1.2}, lower = {9.0, 50.0, 2.0, 0.5},
                            upper = {13.0, 300.0, 7.0, 3.0};
  OwnedObservations base{.pressure_sigma = std::vector(20, 0.1)};
  for (int i = 0; i < 20; ++i) {
    base.volume.push_back(truth[0] * (0.78 + 0.05 * (i / 4)));
    base.temperature.push_back(300.0 + 550.0 * (i % 4));
    base.pressure.push_back(
        mgd_pressure(truth[0], truth[1], truth[2], truth[3], base.volume[i], base.temperature[i]));
  }
  const auto pressure = [](const ThermalModel& model, double v, double t) { return model.pressure(v, t); };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.latent_volumes << c.latent_temperatures << c.correlated);
    OwnedObservations data = base;
    if (c.latent_volumes) data.volume_sigma.emplace(20, 0.01);
    if (c.latent_temperatures) data.temperature_sigma.emplace(20, 20.0);
    if (c.correlated) {  // pressure and temperature errors correlated by 0.5
      data.factors.emplace();
      for (int i = 0; i < 20; ++i)
        data.factors->insert(data.factors->end(), {0.1, 0, 0, 0, 0.01, 0, 10.0, 0, 20.0 * std::sqrt(0.75)});
    }
    const auto result =
        fit::eos::fit_thermal_eos_by(data.pvt(), initial, lower, upper, tight_options(), build_mgd, pressure);
    ASSERT_TRUE(result.has_value()) << result.error();
    EXPECT_TRUE(result->solver.success) << result->solver.message;
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(result->parameters[j], truth[j], 1e-6 * truth[j]) << j;
    for (int i = 0; i < 20; ++i) {
      EXPECT_NEAR(result->fitted_volumes[i], data.volume[i], 1e-8 * data.volume[i]);
      EXPECT_NEAR((*result->fitted_temperatures)[i], data.temperature[i], 1e-6 * data.temperature[i]);
    }
  }
}

// P = a + b V with errors in both variables (constant σP, σV, ρ): the latent
// volumes profile out to χ² = Σ e_i² / D(b), e_i = P_i - a - b V_i,
// D(b) = σP² - 2bρσPσV + b²σV², minimal at a = P̄ - b V̄ and a root b of a
// quadratic in the centred sums (Deming's line for ρ = 0); the covariance of
// (a, b) inverts Σ (1, V̂_i)ᵀ(1, V̂_i) / D(b); AIC and BIC count the 8 latent
// volumes (m = 16, p = 10).
TEST(LineFit, ErrorsInVariablesClosedForm) {
  struct Line {
    double a, b;
    EosResult<double> pressure(double volume) const { return a + b * volume; }
  };
  const auto build_line = [](Slice p) -> FitResult<Line> { return Line{p[0], p[1]}; };
  const std::vector<double> vs = {1, 2, 3, 4, 5, 6, 7, 8}, ps = {2.6, 2.8, 3.55, 4.15, 4.4, 5.0, 5.7, 5.95};
  double v_mean = 0, p_mean = 0, sxx = 0, syy = 0, sxy = 0;
  for (int i = 0; i < 8; ++i) v_mean += vs[i] / 8, p_mean += ps[i] / 8;
  for (int i = 0; i < 8; ++i) {
    sxx += std::pow(vs[i] - v_mean, 2), syy += std::pow(ps[i] - p_mean, 2);
    sxy += (vs[i] - v_mean) * (ps[i] - p_mean);
  }
  const double sp = 0.1, sv = 0.2;
  // With factors the sigmas must still be valid but no longer weight.
  for (const double rho : {0.0, 0.5, -0.7}) {
    SCOPED_TRACE(rho);
    OwnedObservations data{
        .pressure = ps, .volume = vs, .pressure_sigma = std::vector<double>(8, rho ? 7.0 : sp)};
    data.volume_sigma.emplace(8, rho ? 3.0 : sv);
    if (rho != 0.0) {
      data.factors.emplace();
      // Lower-triangular factors of [[σP², ρσPσV], [ρσPσV, σV²]].
      for (int i = 0; i < 8; ++i)
        data.factors->insert(data.factors->end(), {sp, 0.0, rho * sv, sv * std::sqrt(1 - rho * rho)});
    }
    const auto result = fit::eos::fit_isothermal_eos(
        data.pv(), std::vector<double>{1.0, 1.0}, std::vector<double>{-10.0, -10.0},
        std::vector<double>{10.0, 10.0}, tight_options(), build_line);
    ASSERT_TRUE(result.has_value()) << result.error();

    const double p = sp * sp, v = sv * sv, cv = rho * sp * sv;
    const double qa = v * sxy - cv * sxx, qb = p * sxx - v * syy, qc = cv * syy - p * sxy;
    const auto profile = [&](double b) {
      return (syy - 2 * b * sxy + b * b * sxx) / (p - 2 * b * cv + b * b * v);
    };
    const double b1 = (-qb + std::sqrt(qb * qb - 4 * qa * qc)) / (2 * qa);
    const double b2 = (-qb - std::sqrt(qb * qb - 4 * qa * qc)) / (2 * qa);
    const double b = profile(b1) < profile(b2) ? b1 : b2, a = p_mean - b * v_mean;
    EXPECT_NEAR(result->parameters[0], a, 1e-8);
    EXPECT_NEAR(result->parameters[1], b, 1e-8);

    const double chi_square = profile(b), q = 16 * std::log(chi_square / 16);
    EXPECT_NEAR(result->chi_square, chi_square, 1e-9 * chi_square);
    EXPECT_EQ(result->degrees_of_freedom, 6u);
    EXPECT_NEAR(result->reduced_chi_square.value_or(0.0), chi_square / 6, 1e-9 * chi_square);
    EXPECT_NEAR(result->aic, q + 20.0, 1e-8);
    EXPECT_NEAR(result->bic, q + 10 * std::log(16.0), 1e-8);
    const double d = p - 2 * b * cv + b * b * v;
    double s00 = 0, s01 = 0, s11 = 0;
    for (const double vhat : result->fitted_volumes) s00 += 1 / d, s01 += vhat / d, s11 += vhat * vhat / d;
    const double det = s00 * s11 - s01 * s01;
    const double covariance[4] = {s11 / det, -s01 / det, -s01 / det, s00 / det};
    for (int i = 0; i < 4; ++i) {
      EXPECT_NEAR(result->parameter_covariance[i], covariance[i], 1e-6 * std::fabs(covariance[i])) << i;
    }
    EXPECT_NEAR(result->standard_errors[1], std::sqrt(covariance[3]), 1e-6 * std::sqrt(covariance[3]));
    EXPECT_NEAR(result->correlation[1], -s01 / std::sqrt(s00 * s11), 1e-6);
    // Uncorrelated: V̂_i = V_i + b σV² e_i / D(b).
    for (int i = 0; i < 8 && rho == 0.0; ++i) {
      EXPECT_NEAR(result->fitted_volumes[i], vs[i] + b * v * (ps[i] - a - b * vs[i]) / d, 1e-8);
    }
  }
}

// No degrees of freedom for m ≤ p and no reduced χ²; a perfect fit keeps
// q = m ln(DBL_MIN) finite. A zero, tiny negative or NaN variance gives a zero
// standard error and a zero correlation row and column, diagonal included.
TEST(FitStatistics, EdgesByHand) {
  const auto exact = fit::eos::fit_statistics(std::vector<double>{3.0, 4.0}, 2);
  EXPECT_EQ(std::tuple(exact->chi_square, exact->degrees_of_freedom, exact->reduced_chi_square),
            std::tuple(25.0, 0u, std::optional<double>{}));
  const auto perfect = fit::eos::fit_statistics(std::vector<double>{0.0, -0.0, 0.0, 0.0}, 1);
  EXPECT_EQ(perfect->aic, 4.0 * std::log(std::numeric_limits<double>::min()) + 2.0);
  const auto spread =
      fit::eos::parameter_spread(std::vector<double>{4, 0, 1e-20, 0, nan, 0, 1e-20, 0, -1e-18}, 3);
  EXPECT_EQ(spread.standard_errors, (std::vector<double>{2.0, 0.0, 0.0}));
  EXPECT_EQ(spread.correlation, (std::vector<double>{1, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// A valid BM3 isotherm at 300 K with every optional array and d×d factors.
struct Problem {
  OwnedObservations data{.volume = {9.8, 9.5, 9.2, 9.0},
                         .temperature = std::vector(4, 300.0),
                         .pressure_sigma = std::vector(4, 0.1),
                         .volume_sigma = std::vector(4, 0.01),
                         .temperature_sigma = std::vector(4, 5.0),
                         .factors = std::vector<double>{}};
  std::vector<double> initial{10.2, 150.0, 4.0}, lower{5.0, 10.0, 1.0}, upper{20.0, 500.0, 10.0};

  explicit Problem(std::size_t d) {
    for (const double v : data.volume) data.pressure.push_back(bm3_pressure(10.0, 160.0, 4.5, v));
    const std::vector<double> block = d == 2 ? std::vector<double>{0.1, 0, 0.001, 0.01}
                                             : std::vector<double>{0.1, 0, 0, 0.001, 0.01, 0, 0, 0, 5.0};
    for (int i = 0; i < 4; ++i) data.factors->insert(data.factors->end(), block.begin(), block.end());
  }
  FitResult<EosFitResult> fit(bool thermal) const {
    if (!thermal)
      return fit::eos::fit_isothermal_eos(data.pv(), initial, lower, upper, tight_options(), build_bm3);
    const auto pressure = [](const RtModel& model, double v, double) { return model.pressure(v); };
    return fit::eos::fit_thermal_eos_by(data.pvt(), initial, lower, upper, tight_options(), build_bm3,
                                        pressure);
  }
};

// The first failing check of each front when two fail; "": the fit succeeds.
TEST(EosFitChecks, FirstFailureInCheckOrder) {
  const std::string per_point = " must contain one positive finite value per observation";
  const std::string factors = "observation Cholesky factors ";
  using P = Problem&;
  const struct {
    bool thermal;
    std::function<void(P)> change;
    std::string message;
  } cases[] = {
      {false, [](P p) { p.data.pressure[0] = 0.0, p.data.pressure[1] = -1.0; }, ""},
      {false, [](P p) { p.data.volume.pop_back(), p.data.pressure[0] = nan; },
       "EOS observation arrays must have the same non-zero length"},
      {false, [](P p) { p.data.pressure_sigma[1] = 0, p.data.volume_sigma->pop_back(); },
       "EOS observations and uncertainties must be finite and valid"},
      {false, [](P p) { (*p.data.volume_sigma)[0] = inf, p.data.factors->pop_back(); },
       "volume_sigma" + per_point},
      // Row 0's upper entry before row 1's diagonal, an earlier point before a later one.
      {false, [](P p) { (*p.data.factors)[1] = 1e-9, (*p.data.factors)[3] = 0.0; },
       factors + "must be lower triangular"},
      {false, [](P p) { (*p.data.factors)[3] = -1.0, (*p.data.factors)[5] = 1.0; },
       factors + "must have positive diagonals"},
      {false, [](P p) { p.data.volume_sigma.reset(), p.lower.pop_back(); },
       "correlated pressure-volume errors require latent volumes"},
      {true, [](P p) { p.data.temperature[1] = nan, (*p.data.volume_sigma)[0] = 0; },
       "temperature" + per_point},
      {true, [](P p) { p.data.temperature_sigma.reset(); },
       "correlated pressure-volume-temperature errors require latent coordinates"},
      {true, [](P p) { p.lower.push_back(0.0); },
       "EOS initial parameters and bounds must have the same non-zero length"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    Problem problem(c.thermal ? 3 : 2);
    c.change(problem);
    const auto result = problem.fit(c.thermal);
    if (c.message.empty()) {
      EXPECT_TRUE(result.has_value()) << result.error();
    } else {
      EXPECT_TRUE(fails_with(result, fit::FitError::invalid_input(c.message)));
    }
  }
}

}  // namespace
}  // namespace nivaltus::test
