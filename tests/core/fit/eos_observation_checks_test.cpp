// Observation checks of the EOS fitting fronts, in their order, and the shape
// of the problem each set of observations gives.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string_view>
#include <vector>

#include "core/fit/eos/solve_native.hpp"
#include "core/fit/eos/whitening.hpp"
#include "tests/core/fit/eos_fit_support.hpp"

namespace nivaltus::test {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

constexpr std::string_view same_length = "EOS observation arrays must have the same non-zero length";
constexpr std::string_view invalid_values = "EOS observations and uncertainties must be finite and valid";
constexpr std::string_view bad_volume_sigma = "volume_sigma must contain one positive finite value per observation";
constexpr std::string_view bad_temperature_sigma =
    "temperature_sigma must contain one positive finite value per observation";
constexpr std::string_view bad_temperature = "temperature must contain one positive finite value per observation";
constexpr std::string_view factor_values = "observation Cholesky factors have invalid dimensions or values";
constexpr std::string_view factor_diagonal = "observation Cholesky factors must have positive diagonals";
constexpr std::string_view factor_triangle = "observation Cholesky factors must be lower triangular";
constexpr std::string_view pv_latent = "correlated pressure-volume errors require latent volumes";
constexpr std::string_view pvt_latent = "correlated pressure-volume-temperature errors require latent coordinates";
constexpr std::string_view bound_lengths = "EOS initial parameters and bounds must have the same non-zero length";

// Four BM3 points (V0 = 10, K0 = 160, K0' = 4.5) at 300 K with every optional
// array present and valid.
struct Problem {
  OwnedObservations data;
  std::vector<double> initial{10.2, 150.0, 4.0};
  std::vector<double> lower{5.0, 10.0, 1.0};
  std::vector<double> upper{20.0, 500.0, 10.0};
  fit::SolverOptions options = tight_options();
};

Problem valid_problem(std::size_t d) {
  Problem problem;
  auto& data = problem.data;
  data.volume = {9.8, 9.5, 9.2, 9.0};
  for (const double v : data.volume) data.pressure.push_back(bm3_pressure(10.0, 160.0, 4.5, v));
  data.temperature = {300.0, 300.0, 300.0, 300.0};
  data.pressure_sigma = {0.1, 0.1, 0.1, 0.1};
  data.volume_sigma = std::vector<double>{0.01, 0.01, 0.01, 0.01};
  data.temperature_sigma = std::vector<double>{5.0, 5.0, 5.0, 5.0};
  std::vector<double> block = d == 2 ? std::vector<double>{0.1, 0.0, 0.001, 0.01}
                                     : std::vector<double>{0.1, 0.0, 0.0, 0.001, 0.01, 0.0, 0.0, 0.0, 5.0};
  data.factors.emplace();
  for (int i = 0; i < 4; ++i) data.factors->insert(data.factors->end(), block.begin(), block.end());
  return problem;
}

// A BM3 pressure that ignores the temperature, for the thermal front.
FitResult<RtModel> build_isothermal_as_thermal(Slice p) { return build_bm3(p); }
EosResult<double> isothermal_pressure(const RtModel& model, double volume, double) { return model.pressure(volume); }

struct CheckCase {
  std::string_view name;
  std::function<void(Problem&)> change;
  std::string_view message;  // empty: the fit succeeds
};

void run_pv(const CheckCase& c) {
  Problem problem = valid_problem(2);
  c.change(problem);
  const auto result = fit::eos::fit_isothermal_eos(problem.data.pv(), problem.initial, problem.lower,
                                                   problem.upper, problem.options, build_bm3);
  if (c.message.empty()) {
    EXPECT_TRUE(result.has_value()) << c.name << ": " << result.error();
  } else {
    EXPECT_TRUE(fails_with_input(result, c.message)) << c.name;
  }
}

void run_pvt(const CheckCase& c) {
  Problem problem = valid_problem(3);
  c.change(problem);
  const auto result =
      fit::eos::fit_thermal_eos_by(problem.data.pvt(), problem.initial, problem.lower, problem.upper,
                                   problem.options, build_isothermal_as_thermal, isothermal_pressure);
  if (c.message.empty()) {
    EXPECT_TRUE(result.has_value()) << c.name << ": " << result.error();
  } else {
    EXPECT_TRUE(fails_with_input(result, c.message)) << c.name;
  }
}

TEST(PressureVolumeChecks, FirstFailureInCheckOrder) {
  const std::vector<CheckCase> cases = {
      {"valid", [](Problem&) {}, ""},
      {"one point", [](Problem& p) {
         auto& d = p.data;
         d.pressure.resize(1), d.volume.resize(1), d.pressure_sigma.resize(1), d.volume_sigma->resize(1);
         d.factors->resize(4);
       }, ""},
      {"zero and negative pressures", [](Problem& p) { p.data.pressure[0] = 0.0, p.data.pressure[1] = -1.0; }, ""},
      {"volume shorter", [](Problem& p) { p.data.volume.pop_back(); }, same_length},
      {"pressure sigma longer", [](Problem& p) { p.data.pressure_sigma.push_back(0.1); }, same_length},
      {"no points", [](Problem& p) {
         p.data.pressure.clear(), p.data.volume.clear(), p.data.pressure_sigma.clear();
       }, same_length},
      {"length before values", [](Problem& p) { p.data.volume.pop_back(), p.data.pressure[0] = nan; }, same_length},
      {"pressure NaN", [](Problem& p) { p.data.pressure[2] = nan; }, invalid_values},
      {"pressure infinite", [](Problem& p) { p.data.pressure[0] = -inf; }, invalid_values},
      {"volume zero", [](Problem& p) { p.data.volume[3] = 0.0; }, invalid_values},
      {"pressure sigma zero", [](Problem& p) { p.data.pressure_sigma[1] = 0.0; }, invalid_values},
      {"observations before volume sigma", [](Problem& p) {
         p.data.pressure_sigma[1] = -1.0, p.data.volume_sigma->pop_back();
       }, invalid_values},
      {"volume sigma short", [](Problem& p) { p.data.volume_sigma->pop_back(); }, bad_volume_sigma},
      {"volume sigma infinite", [](Problem& p) { (*p.data.volume_sigma)[0] = inf; }, bad_volume_sigma},
      {"volume sigma before factors", [](Problem& p) {
         (*p.data.volume_sigma)[0] = 0.0, p.data.factors->pop_back();
       }, bad_volume_sigma},
      {"factors of 3 x 3 blocks", [](Problem& p) { p.data.factors->resize(4 * 9, 0.0); }, factor_values},
      {"factor NaN above diagonal", [](Problem& p) { (*p.data.factors)[5] = nan; }, factor_values},
      {"factor zero diagonal", [](Problem& p) { (*p.data.factors)[7] = 0.0; }, factor_diagonal},
      {"factor negative diagonal", [](Problem& p) { (*p.data.factors)[0] = -0.1; }, factor_diagonal},
      {"factor upper entry", [](Problem& p) { (*p.data.factors)[9] = 1e-9; }, factor_triangle},
      {"upper entry of row 0 before diagonal of row 1", [](Problem& p) {
         (*p.data.factors)[1] = 1.0, (*p.data.factors)[3] = 0.0;
       }, factor_triangle},
      {"earlier point first", [](Problem& p) {
         (*p.data.factors)[3] = 0.0, (*p.data.factors)[5] = 1.0;
       }, factor_diagonal},
      {"factors without volume sigma", [](Problem& p) { p.data.volume_sigma.reset(); }, pv_latent},
      {"factor checks before latent requirement", [](Problem& p) {
         p.data.volume_sigma.reset(), (*p.data.factors)[1] = 1.0;
       }, factor_triangle},
      {"latent requirement before bounds", [](Problem& p) { p.data.volume_sigma.reset(), p.lower.pop_back(); },
       pv_latent},
      {"no parameters", [](Problem& p) { p.initial.clear(), p.lower.clear(), p.upper.clear(); }, bound_lengths},
      {"upper shorter", [](Problem& p) { p.upper.pop_back(); }, bound_lengths},
      {"engine bounds", [](Problem& p) { p.lower[1] = 200.0; }, "invalid initial value or bounds at parameter 1"},
      {"engine options after observations", [](Problem& p) { p.options.f_scale = 0.0; },
       "f_scale must be positive and finite"},
      {"observations before engine options", [](Problem& p) {
         p.options.f_scale = 0.0, p.data.volume[0] = nan;
       }, invalid_values},
  };
  for (const CheckCase& c : cases) run_pv(c);
}

TEST(PressureVolumeTemperatureChecks, FirstFailureInCheckOrder) {
  const std::vector<CheckCase> cases = {
      {"valid", [](Problem&) {}, ""},
      {"no temperature sigma", [](Problem& p) { p.data.temperature_sigma.reset(), p.data.factors.reset(); }, ""},
      {"common before temperature", [](Problem& p) {
         p.data.pressure[0] = nan, p.data.temperature[0] = 0.0;
       }, invalid_values},
      {"temperature short", [](Problem& p) { p.data.temperature.pop_back(); }, bad_temperature},
      {"temperature zero without sigma", [](Problem& p) {
         p.data.temperature[2] = 0.0, p.data.temperature_sigma.reset(), p.data.factors.reset();
       }, bad_temperature},
      {"temperature NaN", [](Problem& p) { p.data.temperature[1] = nan; }, bad_temperature},
      {"temperature before volume sigma", [](Problem& p) {
         p.data.temperature[1] = -300.0, (*p.data.volume_sigma)[0] = 0.0;
       }, bad_temperature},
      {"volume sigma before temperature sigma", [](Problem& p) {
         (*p.data.volume_sigma)[0] = 0.0, (*p.data.temperature_sigma)[0] = 0.0;
       }, bad_volume_sigma},
      {"temperature sigma long", [](Problem& p) { p.data.temperature_sigma->push_back(1.0); },
       bad_temperature_sigma},
      {"temperature sigma before factors", [](Problem& p) {
         (*p.data.temperature_sigma)[3] = nan, p.data.factors->pop_back();
       }, bad_temperature_sigma},
      {"factors of 2 x 2 blocks", [](Problem& p) { p.data.factors->resize(4 * 4); }, factor_values},
      {"factor zero last diagonal", [](Problem& p) { (*p.data.factors)[9 + 8] = 0.0; }, factor_diagonal},
      {"factor upper entry of row 1", [](Problem& p) { (*p.data.factors)[5] = 0.5; }, factor_triangle},
      {"factors with only volume sigma", [](Problem& p) { p.data.temperature_sigma.reset(); }, pvt_latent},
      {"factors with only temperature sigma", [](Problem& p) { p.data.volume_sigma.reset(); }, pvt_latent},
      {"factors with no sigma", [](Problem& p) {
         p.data.volume_sigma.reset(), p.data.temperature_sigma.reset();
       }, pvt_latent},
      {"bounds after observations", [](Problem& p) { p.lower.push_back(0.0); }, bound_lengths},
  };
  for (const CheckCase& c : cases) run_pvt(c);
}

// Which optional arrays are given decides the latent coordinates: the
// optimizer vector, the residual count, where the model is evaluated and
// which fitted values are observed ones.
struct ShapeCase {
  std::string_view name;
  bool thermal;
  bool volume_sigma;
  bool temperature_sigma;
  bool factors;
  std::size_t latent_count;
};

TEST(EosFitShapes, LatentCoordinatesFollowTheGivenDeviations) {
  const ShapeCase cases[] = {
      {"pv plain", false, false, false, false, 0},
      {"pv latent volumes", false, true, false, false, 1},
      {"pv correlated", false, true, false, true, 1},
      {"pvt plain", true, false, false, false, 0},
      {"pvt latent volumes", true, true, false, false, 1},
      {"pvt latent temperatures", true, false, true, false, 1},
      {"pvt both", true, true, true, false, 2},
      {"pvt correlated", true, true, true, true, 2},
  };
  for (const ShapeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Problem problem = valid_problem(c.thermal ? 3 : 2);
    auto& data = problem.data;
    if (!c.volume_sigma) data.volume_sigma.reset();
    if (!c.temperature_sigma) data.temperature_sigma.reset();
    if (!c.factors) data.factors.reset();
    const auto result =
        c.thermal ? fit::eos::fit_thermal_eos_by(data.pvt(), problem.initial, problem.lower, problem.upper,
                                                 problem.options, build_isothermal_as_thermal, isothermal_pressure)
                  : fit::eos::fit_isothermal_eos(data.pv(), problem.initial, problem.lower, problem.upper,
                                                 problem.options, build_bm3);
    ASSERT_TRUE(result.has_value()) << result.error();
    const std::size_t n = 4;
    const std::size_t k = 3;
    EXPECT_EQ(result->solver.x.size(), k + n * c.latent_count);
    EXPECT_EQ(result->solver.fun.size(), n * (c.latent_count + 1));
    EXPECT_EQ(result->solver.jac.is_structured(), c.latent_count > 0);
    EXPECT_EQ(result->predicted_pressures.size(), n);
    EXPECT_EQ(result->parameter_covariance.size(), k * k);
    EXPECT_EQ(result->fitted_temperatures.has_value(), c.thermal);
    if (!c.volume_sigma) EXPECT_EQ(result->fitted_volumes, data.volume);
    if (c.thermal && !c.temperature_sigma) EXPECT_EQ(*result->fitted_temperatures, data.temperature);
    // Latent volumes come first, then latent temperatures.
    if (c.volume_sigma) {
      EXPECT_TRUE(std::equal(result->fitted_volumes.begin(), result->fitted_volumes.end(),
                             result->solver.x.begin() + k));
    }
    if (c.temperature_sigma) {
      EXPECT_TRUE(std::equal(result->fitted_temperatures->begin(), result->fitted_temperatures->end(),
                             result->solver.x.begin() + k + (c.volume_sigma ? n : 0)));
    }
    // The data lie on a BM3 isotherm: the model reproduces them.
    for (std::size_t i = 0; i < n; ++i) {
      EXPECT_NEAR(result->predicted_pressures[i], data.pressure[i], 1e-6);
    }
  }
}

struct DimensionCase {
  std::size_t k;
  std::size_t n;
  std::size_t latent_count;
  std::size_t x_length;
  std::string_view message;
};

TEST(SolveNative, RefusesInconsistentDimensions) {
  constexpr std::size_t huge = std::numeric_limits<std::size_t>::max() / 2 + 1;
  const DimensionCase cases[] = {
      {0, 2, 1, 2, "EOS parameter and latent-coordinate dimensions are inconsistent"},
      {1, 2, 1, 2, "EOS parameter and latent-coordinate dimensions are inconsistent"},
      {1, 2, 0, 3, "EOS parameter and latent-coordinate dimensions are inconsistent"},
      {3, 2, 1, 2, "EOS parameter and latent-coordinate dimensions are inconsistent"},
      // n·L wraps to 0 modulo 2^64: must not pass as k + 0.
      {1, huge, 2, 1, "EOS parameter and latent-coordinate dimensions are inconsistent"},
      {1, 0, 1, 1, "structured layout does not match the parameter vector"},
  };
  for (const DimensionCase& c : cases) {
    const std::vector<double> x0(c.x_length, 1.0);
    const std::vector<double> lower(c.x_length, 0.0);
    const std::vector<double> upper(c.x_length, 2.0);
    const auto residual = [](Slice x) -> FitResult<std::vector<double>> { return std::vector<double>(x.begin(), x.end()); };
    const auto result = fit::eos::solve_native(x0, lower, upper, tight_options(), c.k, c.n, c.latent_count, residual);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error(), fit::FitError::invalid_input(std::string(c.message)));
  }
}

// Σ = L Lᵀ; the whitened z of a point satisfies zᵀz = rᵀ Σ⁻¹ r, with Σ⁻¹
// written here as the adjugate over the determinant.
double mahalanobis_2(const double* l, double r0, double r1) {
  const double s00 = l[0] * l[0];
  const double s01 = l[0] * l[2];
  const double s11 = l[2] * l[2] + l[3] * l[3];
  const double det = s00 * s11 - s01 * s01;
  return (s11 * r0 * r0 - 2.0 * s01 * r0 * r1 + s00 * r1 * r1) / det;
}

double mahalanobis_3(const double* l, const double* r) {
  double s[3][3] = {};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      for (int c = 0; c < 3; ++c) s[i][j] += l[i * 3 + c] * l[j * 3 + c];
    }
  }
  const double adj[3][3] = {
      {s[1][1] * s[2][2] - s[1][2] * s[2][1], s[0][2] * s[2][1] - s[0][1] * s[2][2], s[0][1] * s[1][2] - s[0][2] * s[1][1]},
      {s[1][2] * s[2][0] - s[1][0] * s[2][2], s[0][0] * s[2][2] - s[0][2] * s[2][0], s[0][2] * s[1][0] - s[0][0] * s[1][2]},
      {s[1][0] * s[2][1] - s[1][1] * s[2][0], s[0][1] * s[2][0] - s[0][0] * s[2][1], s[0][0] * s[1][1] - s[0][1] * s[1][0]},
  };
  const double det = s[0][0] * adj[0][0] + s[0][1] * adj[1][0] + s[0][2] * adj[2][0];
  double q = 0.0;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) q += r[i] * adj[i][j] * r[j];
  }
  return q / det;
}

TEST(WhitenCorrelated, GivesTheMahalanobisNormPointByPoint) {
  // Two points, component-major residuals (all first components, then all
  // second ones).
  const std::vector<double> factors2 = {2.0, 0.0, -0.6, 0.5, 0.3, 0.0, 0.2, 1.5};
  std::vector<double> r2 = {1.0, -0.4, 0.7, 2.0};
  const std::vector<double> original2 = r2;
  fit::eos::whiten_correlated(r2, 2, factors2, 2);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_NEAR(r2[i] * r2[i] + r2[2 + i] * r2[2 + i],
                mahalanobis_2(factors2.data() + 4 * i, original2[i], original2[2 + i]), 1e-12);
  }
  // First component: z0 = r0 / L00 exactly.
  EXPECT_EQ(r2[0], 0.5);
  EXPECT_EQ(r2[1], -0.4 / 0.3);

  const std::vector<double> factors3 = {1.0, 0.0, 0.0, 0.4, 0.9, 0.0, -0.3, 0.2, 2.0,
                                        0.5, 0.0, 0.0, 0.0, 3.0, 0.0, 1.0, 1.0, 1.0};
  std::vector<double> r3 = {0.3, 1.0, -2.0, 0.5, 0.25, -1.0};
  const std::vector<double> original3 = r3;
  fit::eos::whiten_correlated(r3, 3, factors3, 2);
  for (std::size_t i = 0; i < 2; ++i) {
    const double point[3] = {original3[i], original3[2 + i], original3[4 + i]};
    const double zz = r3[i] * r3[i] + r3[2 + i] * r3[2 + i] + r3[4 + i] * r3[4 + i];
    EXPECT_NEAR(zz, mahalanobis_3(factors3.data() + 9 * i, point), 1e-12);
  }
}

}  // namespace
}  // namespace nivaltus::test
