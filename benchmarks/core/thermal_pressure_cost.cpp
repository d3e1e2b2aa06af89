// Prints the cost of one thermal-pressure evaluation per model; asserts only
// that every evaluation succeeds.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "core/isothermal/modified_tait.hpp"
#include "core/thermal/asymptotic_power_law.hpp"
#include "core/thermal/debye_quadratic.hpp"
#include "core/thermal/holland_powell.hpp"
#include "core/thermal/mie_gruneisen.hpp"
#include "core/thermal/simple_thermal_pressure.hpp"
#include "tests/core/thermal/thermal_test_support.hpp"

namespace nivaltus::thermal {
namespace {

using thermal_test::bm3_reference;

// Sweeps V over [9.5, 12) and T over [500, 2500) so that no two calls
// repeat, and reports the mean time per call.
template <class Model>
void time_thermal_pressure(const char* name, const Model& model, int calls) {
  double sink = 0.0;
  int failures = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < calls; ++i) {
    const double v = 9.5 + 2.5 * static_cast<double>((i * 7919LL) % calls) / calls;
    const double t = 500.0 + 2000.0 * static_cast<double>((i * 104729LL) % calls) / calls;
    const EosResult<double> p = model.thermal_pressure(v, t);
    if (p) {
      sink += *p;
    } else {
      ++failures;
    }
  }
  const auto elapsed =
      std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(failures, 0) << name;
  std::printf("%-40s %10.1f ns per thermal_pressure (checksum %.6g)\n", name, elapsed / calls, sink);
}

TEST(ThermalPressureTiming, PerModel) {
  const RtModel reference = bm3_reference();
  const auto tait = *isothermal::ModifiedTait::make(11.24, 160.0, 4.0, -0.025);
  time_thermal_pressure("MieGruneisenDebye", *build_mie_gruneisen_debye(reference, 300, 760, 1.5, 1.5, 2),
                        20000);
  time_thermal_pressure("MieGruneisenDebye (reference_isentrope)",
                        *build_mie_gruneisen_debye(reference, 300, 760, 1.5, 1.5, 2, std::nullopt,
                                                   DebyeTemperatureLaw::integrated_gruneisen,
                                                   ThermalPressureReference::reference_isentrope),
                        20000);
  time_thermal_pressure("MieGruneisenEinstein",
                        *build_mie_gruneisen_einstein(reference, 300, 760, 1.5, 1.5, 2), 1000000);
  time_thermal_pressure("DebyeQuadraticThermalPressure",
                        *DebyeQuadraticThermalPressure::make(reference, 300, 760, 1.5, 1.5, 2, 1e-6, 1),
                        20000);
  time_thermal_pressure("AsymptoticPowerLawMieGruneisenDebye",
                        *AsymptoticPowerLawMieGruneisenDebye::make(reference, 300, 760, 1.5, 0.5, 2, 2),
                        20000);
  time_thermal_pressure("LinearThermalPressure", *LinearThermalPressure::make(reference, 300, 0.005),
                        1000000);
  time_thermal_pressure("LogVolumeThermalPressure",
                        *LogVolumeThermalPressure::make(reference, 300, 0.005, 0.001), 1000000);
  time_thermal_pressure(
      "SecondOrderTaylorThermalPressure",
      *SecondOrderTaylorThermalPressure::make(reference, 300, 0.05, 0.1, 1, 0.005, 2, 1e-6, 1e-3), 1000000);
  time_thermal_pressure("HollandPowellThermalPressure",
                        *HollandPowellThermalPressure<RtModel>::make(reference, 300, 500, 3e-5, 2), 1000000);
  time_thermal_pressure(
      "ThermalModifiedTait",
      *HollandPowellThermalPressure<isothermal::ModifiedTait>::make(tait, 300, 500, 3e-5, 2), 1000000);
}

}  // namespace
}  // namespace nivaltus::thermal
