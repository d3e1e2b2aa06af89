// Observation checks of the EOS fitting fronts, in their order.

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string_view>
#include <vector>

#include "tests/core/fit/eos_fit_support.hpp"

namespace nivaltus::test {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// Four points on a BM3 isotherm (V0 = 10, K0 = 160, K0' = 4.5) at 300 K with
// every optional array present and valid; d = 2 or 3 sizes the factors.
struct Problem {
  OwnedObservations data;
  std::vector<double> initial{10.2, 150.0, 4.0}, lower{5.0, 10.0, 1.0}, upper{20.0, 500.0, 10.0};
  fit::SolverOptions options = tight_options();

  explicit Problem(std::size_t d) {
    data.volume = {9.8, 9.5, 9.2, 9.0};
    for (const double v : data.volume) data.pressure.push_back(bm3_pressure(10.0, 160.0, 4.5, v));
    data.temperature.assign(4, 300.0);
    data.pressure_sigma.assign(4, 0.1);
    data.volume_sigma.emplace(4, 0.01);
    data.temperature_sigma.emplace(4, 5.0);
    const std::vector<double> block = d == 2 ? std::vector<double>{0.1, 0, 0.001, 0.01}
                                             : std::vector<double>{0.1, 0, 0, 0.001, 0.01, 0, 0, 0, 5.0};
    data.factors.emplace();
    for (int i = 0; i < 4; ++i) data.factors->insert(data.factors->end(), block.begin(), block.end());
  }
  FitResult<EosFitResult> fit_pv() const {
    return fit::eos::fit_isothermal_eos(data.pv(), initial, lower, upper, options, build_bm3);
  }
  // The isotherm, temperature ignored, through the thermal front.
  FitResult<EosFitResult> fit_pvt() const {
    const auto pressure = [](const RtModel& model, double v, double) { return model.pressure(v); };
    return fit::eos::fit_thermal_eos_by(data.pvt(), initial, lower, upper, options, build_bm3, pressure);
  }
};

struct CheckCase {
  std::string_view name;
  std::function<void(Problem&)> change;
  std::string_view message;  // empty: the fit succeeds
};

void expect_outcome(const FitResult<EosFitResult>& result, const CheckCase& c) {
  if (c.message.empty()) {
    EXPECT_TRUE(result.has_value()) << c.name << ": " << result.error();
  } else {
    ASSERT_FALSE(result.has_value()) << c.name;
    EXPECT_EQ(result.error(), fit::FitError::invalid_input(std::string(c.message))) << c.name;
  }
}

constexpr std::string_view lengths = "EOS observation arrays must have the same non-zero length";
constexpr std::string_view values = "EOS observations and uncertainties must be finite and valid";
constexpr std::string_view v_sigma = "volume_sigma must contain one positive finite value per observation";
constexpr std::string_view factor_values = "observation Cholesky factors have invalid dimensions or values";
constexpr std::string_view diagonal = "observation Cholesky factors must have positive diagonals";
constexpr std::string_view triangle = "observation Cholesky factors must be lower triangular";
constexpr std::string_view bounds = "EOS initial parameters and bounds must have the same non-zero length";

TEST(PressureVolumeFit, FirstFailureInCheckOrder) {
  using P = Problem&;
  const CheckCase cases[] = {
      {"valid", [](P) {}, ""},
      {"zero and negative pressures", [](P p) { p.data.pressure[0] = 0.0, p.data.pressure[1] = -1.0; }, ""},
      {"volume short, pressure NaN", [](P p) { p.data.volume.pop_back(), p.data.pressure[0] = nan; },
       lengths},
      {"no points",
       [](P p) { p.data.pressure.clear(), p.data.volume.clear(), p.data.pressure_sigma.clear(); }, lengths},
      {"pressure infinite", [](P p) { p.data.pressure[2] = -inf; }, values},
      {"volume zero", [](P p) { p.data.volume[3] = 0.0; }, values},
      {"sigma zero, volume_sigma short",
       [](P p) { p.data.pressure_sigma[1] = 0, p.data.volume_sigma->pop_back(); }, values},
      {"volume_sigma infinite, factors short",
       [](P p) { (*p.data.volume_sigma)[0] = inf, p.data.factors->pop_back(); }, v_sigma},
      {"3 x 3 factors", [](P p) { p.data.factors->resize(4 * 9, 0.0); }, factor_values},
      {"factor NaN", [](P p) { (*p.data.factors)[5] = nan; }, factor_values},
      {"zero diagonal", [](P p) { (*p.data.factors)[7] = 0.0; }, diagonal},
      // Row 0's upper entry is met before row 1's diagonal.
      {"upper entry of row 0", [](P p) { (*p.data.factors)[1] = 1e-9, (*p.data.factors)[3] = 0.0; },
       triangle},
      {"earlier point first", [](P p) { (*p.data.factors)[3] = -1.0, (*p.data.factors)[5] = 1.0; }, diagonal},
      {"factors before latent requirement",
       [](P p) { p.data.volume_sigma.reset(), (*p.data.factors)[1] = 1; }, triangle},
      {"factors without volume_sigma, bounds short",
       [](P p) { p.data.volume_sigma.reset(), p.lower.pop_back(); },
       "correlated pressure-volume errors require latent volumes"},
      {"no parameters", [](P p) { p.initial.clear(), p.lower.clear(), p.upper.clear(); }, bounds},
      {"engine bounds", [](P p) { p.lower[1] = 200.0; }, "invalid initial value or bounds at parameter 1"},
      {"engine options", [](P p) { p.options.f_scale = 0.0; }, "f_scale must be positive and finite"},
  };
  for (const CheckCase& c : cases) {
    Problem problem(2);
    c.change(problem);
    expect_outcome(problem.fit_pv(), c);
  }
}

TEST(PressureVolumeTemperatureFit, FirstFailureInCheckOrder) {
  using P = Problem&;
  constexpr std::string_view temperature =
      "temperature must contain one positive finite value per observation";
  constexpr std::string_view latent =
      "correlated pressure-volume-temperature errors require latent coordinates";
  const CheckCase cases[] = {
      {"valid", [](P) {}, ""},
      {"pressure NaN, temperature zero", [](P p) { p.data.pressure[0] = nan, p.data.temperature[0] = 0; },
       values},
      {"temperature short", [](P p) { p.data.temperature.pop_back(); }, temperature},
      {"temperature zero without sigma",
       [](P p) { p.data.temperature[2] = 0, p.data.temperature_sigma.reset(), p.data.factors.reset(); },
       temperature},
      {"temperature before volume_sigma",
       [](P p) { p.data.temperature[1] = nan, (*p.data.volume_sigma)[0] = 0; }, temperature},
      {"volume_sigma before temperature_sigma",
       [](P p) { (*p.data.volume_sigma)[0] = 0, (*p.data.temperature_sigma)[0] = 0; }, v_sigma},
      {"temperature_sigma before factors",
       [](P p) { p.data.temperature_sigma->push_back(1), p.data.factors->pop_back(); },
       "temperature_sigma must contain one positive finite value per observation"},
      {"2 x 2 factors", [](P p) { p.data.factors->resize(4 * 4); }, factor_values},
      {"upper entry of row 1", [](P p) { (*p.data.factors)[5] = 0.5; }, triangle},
      {"factors, volume_sigma only", [](P p) { p.data.temperature_sigma.reset(); }, latent},
      {"factors, temperature_sigma only", [](P p) { p.data.volume_sigma.reset(); }, latent},
      {"bounds after observations", [](P p) { p.lower.push_back(0.0); }, bounds},
  };
  for (const CheckCase& c : cases) {
    Problem problem(3);
    c.change(problem);
    expect_outcome(problem.fit_pvt(), c);
  }
}

}  // namespace
}  // namespace nivaltus::test
