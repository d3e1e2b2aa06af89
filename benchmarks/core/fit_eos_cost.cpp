// Prints the time per EOS fit and the number of model evaluations for a BM3
// fit of 100 pressure-volume points without and with latent volumes, and a
// Mie-Grueneisen-Debye fit of 100 pressure-volume-temperature points with
// latent volumes and temperatures; asserts only that the fits succeed. The
// models are rebuilt from named parameters at every evaluation, as a fit
// started from Python does.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/fit/eos/fit_isothermal_eos.hpp"
#include "core/fit/eos/fit_thermal_eos.hpp"
#include "core/isothermal/birch_murnaghan.hpp"
#include "core/rt_model.hpp"
#include "core/thermal/mie_gruneisen.hpp"
#include "core/thermal/thermal_model.hpp"

namespace nivaltus::fit::eos {
namespace {

// Deterministic noise in [-1, 1).
struct Noise {
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  double next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state >> 11) * 0x1.0p-52 - 1.0;
  }
};

struct Timing {
  double seconds_per_fit;
  std::size_t builds;  // model rebuilds (residual evaluations, Jacobians included) per fit
  std::size_t nfev;
  std::size_t njev;
};

// Runs fit() until half a second has passed (at least three times).
template <class Fit>
Timing time_fit(const Fit& fit, std::size_t& builds) {
  int runs = 0;
  std::size_t builds_per_fit = 0;
  std::size_t nfev = 0;
  std::size_t njev = 0;
  const auto start = std::chrono::steady_clock::now();
  double elapsed = 0.0;
  do {
    builds = 0;
    const auto result = fit();
    EXPECT_TRUE(result.has_value() && result->solver.success)
        << (result ? result->solver.message : result.error().to_string());
    if (!result) break;
    builds_per_fit = builds;
    nfev = result->solver.nfev;
    njev = result->solver.njev;
    ++runs;
    elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  } while (runs < 3 || elapsed < 0.5);
  return {elapsed / runs, builds_per_fit, nfev, njev};
}

void report(const char* name, std::size_t points, const Timing& timing) {
  std::printf("%-44s %8.3f ms per fit  %6zu model builds  %8zu pressure evaluations  nfev %4zu  njev %3zu\n",
              name, 1e3 * timing.seconds_per_fit, timing.builds, timing.builds * points, timing.nfev,
              timing.njev);
}

// n points from 0.7 V0 to V0 with noise in P and V.
void time_bm3(std::size_t n, bool with_plain) {
  const RtModel base(*isothermal::BM3::make(11.0, 120.0, 4.5));
  const std::vector<std::string> names = {"V0", "K0", "K0_prime"};
  const auto truth = *isothermal::BM3::make(11.25, 160.2, 4.15);
  Noise noise;
  std::vector<double> pressure, volume, pressure_sigma, volume_sigma;
  for (std::size_t i = 0; i < n; ++i) {
    const double v = 11.25 * (0.7 + 0.3 * static_cast<double>(i) / static_cast<double>(n));
    volume.push_back(v * (1.0 + 0.001 * noise.next()));
    pressure.push_back(*truth.pressure(v) + 0.05 * noise.next());
    pressure_sigma.push_back(0.05);
    volume_sigma.push_back(0.001 * v);
  }
  const std::vector<double> initial = {11.0, 120.0, 4.5};
  const std::vector<double> lower = {8.0, 10.0, 1.0};
  const std::vector<double> upper = {14.0, 400.0, 9.0};
  SolverOptions options;
  std::size_t builds = 0;
  const auto build = [&](Slice values) {
    ++builds;
    return RtModel::with_parameters(base, names, values);
  };
  const PressureVolumeObservations plain{pressure, volume, pressure_sigma, std::nullopt, std::nullopt};
  const PressureVolumeObservations latent{pressure, volume, pressure_sigma, Slice(volume_sigma),
                                          std::nullopt};
  const std::string points = "BM3, " + std::to_string(n) + " P-V points";
  if (with_plain) {
    report(
        points.c_str(), n,
        time_fit([&] { return fit_isothermal_eos(plain, initial, lower, upper, options, build); }, builds));
  }
  report((points + ", latent volumes").c_str(), n,
         time_fit([&] { return fit_isothermal_eos(latent, initial, lower, upper, options, build); }, builds));
}

// 100 points; then 10^3 and 10^4 points with latent volumes, whose cost
// should grow in proportion to the points.
TEST(EosFitCost, Bm3PressureVolume) {
  time_bm3(100, true);
  time_bm3(1000, false);
  time_bm3(10000, false);
}

TEST(EosFitCost, MieGruneisenDebyePressureVolumeTemperature) {
  const RtModel reference(*isothermal::BM3::make(11.25, 160.2, 4.15));
  const ThermalModel truth(*thermal::build_mie_gruneisen_debye(reference, 300.0, 773.0, 1.52, 1.5, 2.0));
  const ThermalModel base(*thermal::build_mie_gruneisen_debye(reference, 300.0, 773.0, 1.3, 1.5, 2.0));
  const std::vector<std::string> names = {"rt_eos.V0", "rt_eos.K0", "rt_eos.K0_prime", "gamma0"};
  Noise noise;
  std::vector<double> pressure, volume, temperature, pressure_sigma, volume_sigma, temperature_sigma;
  for (int i = 0; i < 10; ++i) {
    for (int j = 0; j < 10; ++j) {
      const double v = 11.25 * (0.75 + 0.025 * i);
      const double t = 300.0 + 200.0 * j;
      volume.push_back(v * (1.0 + 0.001 * noise.next()));
      temperature.push_back(t + 5.0 * noise.next());
      pressure.push_back(*truth.pressure(v, t) + 0.1 * noise.next());
      pressure_sigma.push_back(0.1);
      volume_sigma.push_back(0.001 * v);
      temperature_sigma.push_back(5.0);
    }
  }
  const std::vector<double> initial = {11.0, 140.0, 4.6, 1.3};
  const std::vector<double> lower = {9.0, 50.0, 2.0, 0.5};
  const std::vector<double> upper = {13.0, 300.0, 7.0, 3.0};
  SolverOptions options;
  std::size_t builds = 0;
  const auto build = [&](Slice values) {
    ++builds;
    return ThermalModel::with_parameters(base, names, values);
  };
  const auto pressure_of = [](const ThermalModel& model, double v, double t) { return model.pressure(v, t); };
  const PressureVolumeTemperatureObservations observations{
      pressure,    volume, temperature, pressure_sigma, Slice(volume_sigma), Slice(temperature_sigma),
      std::nullopt};
  report("MGD, 100 P-V-T points, latent V and T", pressure.size(),
         time_fit(
             [&] {
               return fit_thermal_eos_by(observations, initial, lower, upper, options, build, pressure_of);
             },
             builds));
}

}  // namespace
}  // namespace nivaltus::fit::eos
