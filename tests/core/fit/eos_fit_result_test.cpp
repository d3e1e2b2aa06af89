// Covariance, standard errors, correlation and fit statistics of EOS fits,
// against closed forms of straight-line fits (ordinary weighted, and errors in
// both variables with correlated errors) and an independent inverse of JᵀJ;
// and how failures inside a fit end it.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string_view>
#include <vector>

#include "core/fit/covariance.hpp"
#include "core/fit/eos/fit_statistics.hpp"
#include "tests/core/fit/eos_fit_support.hpp"

namespace nivaltus::test {
namespace {

constexpr double dbl_min = std::numeric_limits<double>::min();

// Eight points near P = 2 + 0.5 V.
struct LineData {
  std::vector<double> v = {1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0};
  std::vector<double> p;
  LineData() {
    const double noise[8] = {0.1, -0.2, 0.05, 0.15, -0.1, 0.0, 0.2, -0.05};
    for (int i = 0; i < 8; ++i) p.push_back(2.0 + 0.5 * v[i] + noise[i]);
  }
};

const std::vector<double> line_initial = {1.0, 1.0};
const std::vector<double> line_lower = {-10.0, -10.0};
const std::vector<double> line_upper = {10.0, 10.0};

// Inverse of the symmetric 2 x 2 matrix [[s00, s01], [s01, s11]], row-major.
std::vector<double> inverse_2(double s00, double s01, double s11) {
  const double det = s00 * s11 - s01 * s01;
  return {s11 / det, -s01 / det, -s01 / det, s00 / det};
}

void expect_statistics(const fit::eos::EosFitResult& result, double chi_square, std::size_t m, std::size_t p) {
  EXPECT_NEAR(result.chi_square, chi_square, 1e-9 * chi_square);
  EXPECT_EQ(result.degrees_of_freedom, m - p);
  ASSERT_TRUE(result.reduced_chi_square.has_value());
  EXPECT_NEAR(*result.reduced_chi_square, chi_square / static_cast<double>(m - p), 1e-9 * chi_square);
  const double q = static_cast<double>(m) * std::log(chi_square / static_cast<double>(m));
  EXPECT_NEAR(result.aic, q + 2.0 * static_cast<double>(p), 1e-8);
  EXPECT_NEAR(result.bic, q + static_cast<double>(p) * std::log(static_cast<double>(m)), 1e-8);
}

void expect_covariance(const fit::eos::EosFitResult& result, const std::vector<double>& expected) {
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(result.parameter_covariance[i], expected[i], 1e-6 * std::fabs(expected[i])) << i;
  }
  const double se0 = std::sqrt(expected[0]);
  const double se1 = std::sqrt(expected[3]);
  EXPECT_NEAR(result.standard_errors[0], se0, 1e-6 * se0);
  EXPECT_NEAR(result.standard_errors[1], se1, 1e-6 * se1);
  EXPECT_NEAR(result.correlation[1], expected[1] / (se0 * se1), 1e-6);
  EXPECT_NEAR(result.correlation[2], expected[1] / (se0 * se1), 1e-6);
  EXPECT_NEAR(result.correlation[0], 1.0, 1e-12);
}

TEST(LineFit, WeightedLeastSquaresClosedForm) {
  const LineData line;
  OwnedObservations data;
  data.volume = line.v;
  data.pressure = line.p;
  for (int i = 0; i < 8; ++i) data.pressure_sigma.push_back(0.1 + 0.02 * i);
  const auto result =
      fit::eos::fit_isothermal_eos(data.pv(), line_initial, line_lower, line_upper, tight_options(), build_line);
  ASSERT_TRUE(result.has_value()) << result.error();

  // a = (Sxx Sy - Sx Sxy)/Δ, b = (S Sxy - Sx Sy)/Δ, Δ = S Sxx - Sx², w = 1/σ².
  double s = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (int i = 0; i < 8; ++i) {
    const double w = 1.0 / (data.pressure_sigma[i] * data.pressure_sigma[i]);
    s += w, sx += w * line.v[i], sy += w * line.p[i], sxx += w * line.v[i] * line.v[i],
        sxy += w * line.v[i] * line.p[i];
  }
  const double delta = s * sxx - sx * sx;
  const double a = (sxx * sy - sx * sxy) / delta;
  const double b = (s * sxy - sx * sy) / delta;
  EXPECT_NEAR(result->parameters[0], a, 1e-9);
  EXPECT_NEAR(result->parameters[1], b, 1e-9);
  double chi_square = 0.0;
  for (int i = 0; i < 8; ++i) {
    const double r = (line.p[i] - a - b * line.v[i]) / data.pressure_sigma[i];
    chi_square += r * r;
  }
  expect_statistics(*result, chi_square, 8, 2);
  expect_covariance(*result, inverse_2(s, sx, sxx));
}

// Errors in both variables with constant deviations σP, σV and correlation ρ:
// with e_i = P_i - a - b V_i and D(b) = σP² - 2bρσPσV + b²σV², the latent
// volumes profile out to χ²(a, b) = Σ e_i² / D(b). Its minimum has
// a = P̄ - b V̄ and b a root of
//   (v Sxy - c Sxx) b² + (p Sxx - v Syy) b + (c Syy - p Sxy) = 0,
// p = σP², v = σV², c = ρσPσV, S.. the centred sums (Deming's estimator for
// ρ = 0). The profiled information of (a, b) is Σ (1, V̂_i)ᵀ(1, V̂_i) / D(b).
struct ErrorsInVariablesCase {
  std::string_view name;
  double correlation;
  bool factors;
};

TEST(LineFit, ErrorsInVariablesClosedForm) {
  const ErrorsInVariablesCase cases[] = {
      {"sigmas", 0.0, false},
      {"uncorrelated factors", 0.0, true},
      {"positive correlation", 0.5, true},
      {"negative correlation", -0.7, true},
  };
  const double sp = 0.1;
  const double sv = 0.2;
  const LineData line;
  for (const ErrorsInVariablesCase& c : cases) {
    SCOPED_TRACE(c.name);
    OwnedObservations data;
    data.volume = line.v;
    data.pressure = line.p;
    data.pressure_sigma.assign(8, c.factors ? 7.0 : sp);  // factors override the sigmas
    data.volume_sigma = std::vector<double>(8, c.factors ? 3.0 : sv);
    if (c.factors) {
      data.factors.emplace();
      for (int i = 0; i < 8; ++i) {
        const double block[4] = {sp, 0.0, c.correlation * sv, sv * std::sqrt(1.0 - c.correlation * c.correlation)};
        data.factors->insert(data.factors->end(), block, block + 4);
      }
    }
    const auto result =
        fit::eos::fit_isothermal_eos(data.pv(), line_initial, line_lower, line_upper, tight_options(), build_line);
    ASSERT_TRUE(result.has_value()) << result.error();

    double v_mean = 0, p_mean = 0;
    for (int i = 0; i < 8; ++i) v_mean += line.v[i] / 8, p_mean += line.p[i] / 8;
    double sxx = 0, syy = 0, sxy = 0;
    for (int i = 0; i < 8; ++i) {
      const double dx = line.v[i] - v_mean;
      const double dy = line.p[i] - p_mean;
      sxx += dx * dx, syy += dy * dy, sxy += dx * dy;
    }
    const double pp = sp * sp, vv = sv * sv, cc = c.correlation * sp * sv;
    const double qa = vv * sxy - cc * sxx, qb = pp * sxx - vv * syy, qc = cc * syy - pp * sxy;
    const double root = std::sqrt(qb * qb - 4.0 * qa * qc);
    const auto profile = [&](double b) { return (syy - 2.0 * b * sxy + b * b * sxx) / (pp - 2.0 * b * cc + b * b * vv); };
    const double b1 = (-qb + root) / (2.0 * qa), b2 = (-qb - root) / (2.0 * qa);
    const double b = profile(b1) < profile(b2) ? b1 : b2;
    const double a = p_mean - b * v_mean;
    EXPECT_NEAR(result->parameters[0], a, 1e-8);
    EXPECT_NEAR(result->parameters[1], b, 1e-8);
    const double d = pp - 2.0 * b * cc + b * b * vv;
    expect_statistics(*result, profile(b), 16, 10);

    double s00 = 0, s01 = 0, s11 = 0;
    for (int i = 0; i < 8; ++i) {
      const double vhat = result->fitted_volumes[i];
      s00 += 1.0 / d, s01 += vhat / d, s11 += vhat * vhat / d;
    }
    expect_covariance(*result, inverse_2(s00, s01, s11));
    if (c.correlation == 0.0) {
      // V̂_i = V_i + b σV² e_i / D(b).
      for (int i = 0; i < 8; ++i) {
        const double e = line.p[i] - a - b * line.v[i];
        EXPECT_NEAR(result->fitted_volumes[i], line.v[i] + b * vv * e / d, 1e-8);
      }
    }
  }
}

// Gauss-Jordan inverse of an n x n row-major matrix with partial pivoting.
std::vector<double> inverse(std::vector<double> a, std::size_t n) {
  std::vector<double> inv(n * n, 0.0);
  for (std::size_t i = 0; i < n; ++i) inv[i * n + i] = 1.0;
  for (std::size_t col = 0; col < n; ++col) {
    std::size_t pivot = col;
    for (std::size_t r = col + 1; r < n; ++r) {
      if (std::fabs(a[r * n + col]) > std::fabs(a[pivot * n + col])) pivot = r;
    }
    for (std::size_t j = 0; j < n; ++j) std::swap(a[col * n + j], a[pivot * n + j]), std::swap(inv[col * n + j], inv[pivot * n + j]);
    const double d = a[col * n + col];
    for (std::size_t j = 0; j < n; ++j) a[col * n + j] /= d, inv[col * n + j] /= d;
    for (std::size_t r = 0; r < n; ++r) {
      if (r == col) continue;
      const double f = a[r * n + col];
      for (std::size_t j = 0; j < n; ++j) a[r * n + j] -= f * a[col * n + j], inv[r * n + j] -= f * inv[col * n + j];
    }
  }
  return inv;
}

TEST(ProfiledCovariance, EqualsDenseCovarianceAndLeadingBlockOfTheInverse) {
  // BM3 with latent volumes and noisy data, so that the latent blocks couple.
  OwnedObservations data;
  const double noise[10] = {0.03, -0.05, 0.02, 0.04, -0.01, -0.03, 0.05, 0.0, -0.02, 0.01};
  for (int i = 0; i < 10; ++i) {
    const double v = 11.25 * (0.75 + 0.025 * i);
    data.volume.push_back(v * (1.0 + 0.0003 * noise[9 - i]));
    data.pressure.push_back(bm3_pressure(11.25, 160.0, 4.2, v) + noise[i]);
    data.pressure_sigma.push_back(0.05);
  }
  data.volume_sigma = std::vector<double>(10, 0.005);
  const std::vector<double> initial = {11.0, 150.0, 4.0};
  const std::vector<double> lower = {8.0, 10.0, 1.0};
  const std::vector<double> upper = {14.0, 400.0, 9.0};
  const auto result = fit::eos::fit_isothermal_eos(data.pv(), initial, lower, upper, tight_options(), build_bm3);
  ASSERT_TRUE(result.has_value()) << result.error();
  const std::size_t k = 3;
  const std::size_t n = k + 10;
  const std::size_t m = 20;
  const std::vector<double> jac = result->solver.jac.to_dense();

  const auto dense = fit::parameter_covariance(jac, m, n, k);
  ASSERT_TRUE(dense.has_value()) << dense.error();
  std::vector<double> information(n * n, 0.0);
  for (std::size_t r = 0; r < m; ++r) {
    for (std::size_t i = 0; i < n; ++i) {
      for (std::size_t j = 0; j < n; ++j) information[i * n + j] += jac[r * n + i] * jac[r * n + j];
    }
  }
  const std::vector<double> full = inverse(information, n);
  for (std::size_t i = 0; i < k; ++i) {
    for (std::size_t j = 0; j < k; ++j) {
      const double c = result->parameter_covariance[i * k + j];
      const double scale = std::sqrt(full[i * n + i] * full[j * n + j]);
      EXPECT_NEAR(c, (*dense)[i * k + j], 1e-9 * scale) << i << "," << j;
      EXPECT_NEAR(c, full[i * n + j], 1e-7 * scale) << i << "," << j;
    }
  }
}

// Fits with as many residuals as variables, or fewer, have no reduced
// chi-square.
struct CountCase {
  std::string_view name;
  std::size_t points;
  bool latent_volumes;
  std::size_t degrees_of_freedom;
};

TEST(FitCounts, NoReducedChiSquareWithoutDegreesOfFreedom) {
  const CountCase cases[] = {
      {"m = p", 3, false, 0},
      {"m = p + 1", 4, false, 1},
      {"latent, n < k", 2, true, 0},
      {"latent, m = p", 3, true, 0},
      {"latent, m = p + 1", 4, true, 1},
  };
  for (const CountCase& c : cases) {
    SCOPED_TRACE(c.name);
    OwnedObservations data;
    for (std::size_t i = 0; i < c.points; ++i) {
      const double v = 10.0 * (0.8 + 0.05 * static_cast<double>(i));
      data.volume.push_back(v);
      data.pressure.push_back(bm3_pressure(10.0, 150.0, 4.0, v) + (i % 2 ? 0.1 : -0.1));
      data.pressure_sigma.push_back(0.1);
    }
    if (c.latent_volumes) data.volume_sigma = std::vector<double>(c.points, 0.01);
    const std::vector<double> initial = {10.1, 140.0, 4.5};
    const std::vector<double> lower = {8.0, 10.0, 1.0};
    const std::vector<double> upper = {12.0, 400.0, 9.0};
    const auto result = fit::eos::fit_isothermal_eos(data.pv(), initial, lower, upper, tight_options(), build_bm3);
    ASSERT_TRUE(result.has_value()) << result.error();
    EXPECT_EQ(result->degrees_of_freedom, c.degrees_of_freedom);
    EXPECT_EQ(result->reduced_chi_square.has_value(), c.degrees_of_freedom > 0);
    EXPECT_TRUE(std::isfinite(result->aic) && std::isfinite(result->bic));
  }
}

struct StatisticsCase {
  std::string_view name;
  std::vector<double> residuals;
  std::size_t variables;
  double chi_square;
  std::size_t degrees_of_freedom;
  std::optional<double> reduced;
  double aic;
  double bic;
};

TEST(FitStatistics, ByHand) {
  const double q_perfect = 4.0 * std::log(dbl_min);
  const StatisticsCase cases[] = {
      // χ² = 1 + 4 + 4 + 16 = 25, q = 4 ln(25/4).
      {"residuals 1, -2, 2, 4", {1.0, -2.0, 2.0, 4.0}, 2, 25.0, 2, 12.5, 4.0 * std::log(6.25) + 4.0,
       4.0 * std::log(6.25) + 2.0 * std::log(4.0)},
      {"perfect fit stays finite", {0.0, -0.0, 0.0, 0.0}, 1, 0.0, 3, 0.0, q_perfect + 2.0, q_perfect + std::log(4.0)},
      {"m = p", {3.0, 4.0}, 2, 25.0, 0, std::nullopt, 2.0 * std::log(12.5) + 4.0,
       2.0 * std::log(12.5) + 2.0 * std::log(2.0)},
      {"m < p", {3.0, 4.0}, 5, 25.0, 0, std::nullopt, 2.0 * std::log(12.5) + 10.0,
       2.0 * std::log(12.5) + 5.0 * std::log(2.0)},
  };
  for (const StatisticsCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto statistics = fit::eos::fit_statistics(c.residuals, c.variables);
    ASSERT_TRUE(statistics.has_value());
    EXPECT_EQ(statistics->chi_square, c.chi_square);
    EXPECT_EQ(statistics->degrees_of_freedom, c.degrees_of_freedom);
    EXPECT_EQ(statistics->reduced_chi_square, c.reduced);
    EXPECT_NEAR(statistics->aic, c.aic, 1e-12 * std::fabs(c.aic));
    EXPECT_NEAR(statistics->bic, c.bic, 1e-12 * std::fabs(c.bic));
  }
  const std::vector<double> two = {1.0, 2.0};
  const auto too_many = fit::eos::fit_statistics(two, std::size_t{1} << 32);
  ASSERT_FALSE(too_many.has_value());
  EXPECT_EQ(too_many.error(), fit::FitError::invalid_input("variable count exceeds the statistics limit"));
  EXPECT_TRUE(fit::eos::fit_statistics(two, (std::size_t{1} << 32) - 1).has_value());
}

TEST(ParameterSpread, DegenerateVariancesGiveZeroErrorsAndCorrelations) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // Parameter 1 pinned (zero variance), parameter 2 negative by rounding,
  // parameter 3 NaN; only parameter 0 keeps a correlation, 1 on its diagonal.
  const std::vector<double> covariance = {4.0, 0.0, 1e-20, 0.5,  //
                                          0.0, 0.0, 0.0,   0.0,  //
                                          1e-20, 0.0, -1e-18, 0.0,  //
                                          0.5, 0.0, 0.0,   nan};
  const auto spread = fit::eos::parameter_spread(covariance, 4);
  EXPECT_EQ(spread.standard_errors, (std::vector<double>{2.0, 0.0, 0.0, 0.0}));
  std::vector<double> expected(16, 0.0);
  expected[0] = 1.0;
  EXPECT_EQ(spread.correlation, expected);
  // Two valid parameters: C01 / (se0 se1).
  const auto pair = fit::eos::parameter_spread(std::vector<double>{4.0, -3.0, -3.0, 9.0}, 2);
  EXPECT_EQ(pair.correlation, (std::vector<double>{1.0, -0.5, -0.5, 1.0}));
}

// A failure at a trial point ends the whole fit with that error.
TEST(FitFailures, ModelErrorsAtTrialPointsEndTheFit) {
  const LineData line;
  OwnedObservations data;
  data.volume = line.v;
  data.pressure = line.p;
  data.pressure_sigma.assign(8, 0.1);

  int calls = 0;
  const auto fails_at_fifth_build = [&calls](Slice p) -> FitResult<Line> {
    if (++calls == 5) return fit::fail_input("native EOS parameter names and values have different lengths");
    return Line{p[0], p[1]};
  };
  const auto built = fit::eos::fit_isothermal_eos(data.pv(), line_initial, line_lower, line_upper,
                                                  tight_options(), fails_at_fifth_build);
  EXPECT_TRUE(fails_with_input(built, "native EOS parameter names and values have different lengths"));
  EXPECT_EQ(calls, 5);

  // A model whose pressure fails once its intercept exceeds 1.5: the first
  // steps from a = 1 towards a ≈ 2 reach it.
  struct Capped {
    double a, b;
    EosResult<double> pressure(double volume) const {
      if (a > 1.5) return std::unexpected(EosError::invalid_state("volume", "must be positive and finite"));
      return a + b * volume;
    }
  };
  const auto build_capped = [](Slice p) -> FitResult<Capped> { return Capped{p[0], p[1]}; };
  const auto capped =
      fit::eos::fit_isothermal_eos(data.pv(), line_initial, line_lower, line_upper, tight_options(), build_capped);
  ASSERT_FALSE(capped.has_value());
  EXPECT_EQ(capped.error(), fit::FitError::eos(EosError::invalid_state("volume", "must be positive and finite")));

  // The same through the thermal front, with the rebuilt model's own error.
  OwnedObservations thermal;
  thermal.volume = {10.0, 9.5};
  thermal.temperature = {300.0, 1000.0};
  thermal.pressure = {1.0, 2.0};
  thermal.pressure_sigma = {0.1, 0.1};
  const std::vector<double> initial = {11.0, 150.0, 4.0, -0.5};
  const std::vector<double> lower = {8.0, 10.0, 1.0, -1.0};
  const std::vector<double> upper = {14.0, 400.0, 9.0, 3.0};
  const auto negative_k0 = [](Slice p) -> FitResult<ThermalModel> {
    const double values[4] = {p[0], -p[1], p[2], p[3]};
    return build_mgd(values);
  };
  const auto refused = fit::eos::fit_thermal_eos_by(thermal.pvt(), initial, lower, upper, tight_options(),
                                                    negative_k0, thermal_pressure_of);
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(refused.error(), fit::FitError::eos(EosError::invalid_parameter("K0", "must be positive and finite")));
}

}  // namespace
}  // namespace nivaltus::test
