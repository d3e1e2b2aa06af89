// The fronts recover known parameters from synthetic data whose pressures
// come from closed forms written in the test, with and without latent
// coordinates and correlated errors.

#include <gtest/gtest.h>

#include <cmath>
#include <string_view>
#include <vector>

#include "tests/core/fit/eos_fit_support.hpp"

namespace nivaltus::test {
namespace {

enum class Isotherm { BM3, Vinet };

struct IsothermalCase {
  std::string_view name;
  Isotherm isotherm;
  bool latent_volumes;
  double correlation;  // of pressure and volume errors; used with latent volumes only
  bool correlated;
};

// 12 points from 0.72 V0 to 0.99 V0, pressures from the closed form.
OwnedObservations isotherm_data(Isotherm isotherm, const double (&truth)[3]) {
  OwnedObservations data;
  for (int i = 0; i < 12; ++i) {
    const double v = truth[0] * (0.72 + 0.0245 * i);
    data.volume.push_back(v);
    data.pressure.push_back(isotherm == Isotherm::BM3 ? bm3_pressure(truth[0], truth[1], truth[2], v)
                                                      : vinet_pressure(truth[0], truth[1], truth[2], v));
    data.pressure_sigma.push_back(0.05 + 0.01 * i);
  }
  return data;
}

// Lower-triangular factor of [[σP², ρσPσV], [ρσPσV, σV²]].
void add_factors(OwnedObservations& data, double correlation) {
  data.factors.emplace();
  for (std::size_t i = 0; i < data.volume.size(); ++i) {
    const double sp = data.pressure_sigma[i];
    const double sv = (*data.volume_sigma)[i];
    const double block[4] = {sp, 0.0, correlation * sv, sv * std::sqrt(1.0 - correlation * correlation)};
    data.factors->insert(data.factors->end(), block, block + 4);
  }
}

TEST(IsothermalRecovery, KnownParametersFromClosedFormData) {
  const IsothermalCase cases[] = {
      {"BM3", Isotherm::BM3, false, 0.0, false},
      {"BM3 latent volumes", Isotherm::BM3, true, 0.0, false},
      {"BM3 correlated", Isotherm::BM3, true, 0.6, true},
      {"Vinet", Isotherm::Vinet, false, 0.0, false},
      {"Vinet latent volumes", Isotherm::Vinet, true, 0.0, false},
      {"Vinet correlated", Isotherm::Vinet, true, -0.8, true},
  };
  const double truth[3] = {11.25, 160.2, 4.15};
  const std::vector<double> initial = {10.9, 120.0, 5.0};
  const std::vector<double> lower = {8.0, 10.0, 1.5};
  const std::vector<double> upper = {14.0, 400.0, 9.0};
  for (const IsothermalCase& c : cases) {
    SCOPED_TRACE(c.name);
    OwnedObservations data = isotherm_data(c.isotherm, truth);
    if (c.latent_volumes) data.volume_sigma = std::vector<double>(data.volume.size(), 0.004);
    if (c.correlated) add_factors(data, c.correlation);
    const auto result = c.isotherm == Isotherm::BM3
                            ? fit::eos::fit_isothermal_eos(data.pv(), initial, lower, upper, tight_options(), build_bm3)
                            : fit::eos::fit_isothermal_eos(data.pv(), initial, lower, upper, tight_options(),
                                                           build_vinet);
    ASSERT_TRUE(result.has_value()) << result.error();
    EXPECT_TRUE(result->solver.success) << result->solver.message;
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(result->parameters[j], truth[j], 1e-7 * truth[j]) << j;
    for (std::size_t i = 0; i < data.volume.size(); ++i) {
      EXPECT_NEAR(result->fitted_volumes[i], data.volume[i], 1e-9 * data.volume[i]);
      EXPECT_NEAR(result->predicted_pressures[i], data.pressure[i], 1e-6);
    }
    EXPECT_LT(result->chi_square, 1e-12);
  }
}

struct ThermalCase {
  std::string_view name;
  bool latent_volumes;
  bool latent_temperatures;
  bool correlated;
};

TEST(ThermalRecovery, MieGruneisenDebyeOverBm3FromClosedFormData) {
  const ThermalCase cases[] = {
      {"plain", false, false, false},
      {"latent volumes", true, false, false},
      {"latent temperatures", false, true, false},
      {"both latent", true, true, false},
      {"both latent, correlated", true, true, true},
  };
  // V0, K0, K0', gamma0.
  const double truth[4] = {11.25, 160.2, 4.15, 1.52};
  const std::vector<double> initial = {11.0, 140.0, 4.6, 1.2};
  const std::vector<double> lower = {9.0, 50.0, 2.0, 0.5};
  const std::vector<double> upper = {13.0, 300.0, 7.0, 3.0};
  OwnedObservations base;
  for (int i = 0; i < 5; ++i) {
    for (int j = 0; j < 4; ++j) {
      const double v = truth[0] * (0.78 + 0.05 * i);
      const double t = 300.0 + 550.0 * j;
      base.volume.push_back(v);
      base.temperature.push_back(t);
      base.pressure.push_back(mgd_pressure(truth[0], truth[1], truth[2], truth[3], v, t));
      base.pressure_sigma.push_back(0.1);
    }
  }
  for (const ThermalCase& c : cases) {
    SCOPED_TRACE(c.name);
    OwnedObservations data = base;
    const std::size_t n = data.volume.size();
    if (c.latent_volumes) data.volume_sigma = std::vector<double>(n, 0.01);
    if (c.latent_temperatures) data.temperature_sigma = std::vector<double>(n, 20.0);
    if (c.correlated) {
      // Σ with a pressure-temperature correlation of 0.5 and a volume error
      // of its own: rows (σP, 0, 0), (0, σV, 0), (0.5 σT, 0, √0.75 σT).
      data.factors.emplace();
      for (std::size_t i = 0; i < n; ++i) {
        const double block[9] = {0.1, 0.0, 0.0, 0.0, 0.01, 0.0, 10.0, 0.0, 20.0 * std::sqrt(0.75)};
        data.factors->insert(data.factors->end(), block, block + 9);
      }
    }
    const auto result = fit::eos::fit_thermal_eos_by(data.pvt(), initial, lower, upper, tight_options(),
                                                     build_mgd, thermal_pressure_of);
    ASSERT_TRUE(result.has_value()) << result.error();
    EXPECT_TRUE(result->solver.success) << result->solver.message;
    for (int j = 0; j < 4; ++j) EXPECT_NEAR(result->parameters[j], truth[j], 1e-6 * truth[j]) << j;
    for (std::size_t i = 0; i < n; ++i) {
      EXPECT_NEAR(result->fitted_volumes[i], data.volume[i], 1e-8 * data.volume[i]);
      EXPECT_NEAR((*result->fitted_temperatures)[i], data.temperature[i], 1e-6 * data.temperature[i]);
    }
  }
}

}  // namespace
}  // namespace nivaltus::test
