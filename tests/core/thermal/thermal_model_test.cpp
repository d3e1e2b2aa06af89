// ThermalModel: dispatch of the total pressure and the order of the state
// checks; the shared default bodies: their checks, and the model's own
// operations they call. The linear law's P_th does not depend on V, so its
// K_T is K_ref.

#include "core/thermal/thermal_model.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string_view>
#include <tuple>
#include <utility>

#include "tests/core/thermal/thermal_model_fixtures.hpp"
#include "tests/core/thermal/thermal_test_support.hpp"

namespace nivaltus {
namespace {

using namespace test;
using namespace thermal;
using thermal_test::bm3_reference;

// Calls check(model, position) for each fixture model in Kind order.
template <class Check>
void for_each_model(Check&& check) {
  std::apply(
      [&check](const auto&... models) {
        std::size_t position = 0;
        (check(models, position++), ...);
      },
      thermal_test::all_thermal_models());
}

// Values and errors alike, bit for bit, over good states, bad states in
// several orders, subnormals and volumes far outside the references' range.
TEST(ThermalModel, PressureIsTheHeldModelsPressure) {
  const std::pair<double, double> states[] = {
      {10.5, 1500.0}, {11.24, 300.0}, {9.0, 150.0},   {0.0, 1000.0}, {-1.0, nan},    {10.5, 0.0},
      {inf, inf},     {nan, -1.0},    {tiny, 1000.0}, {10.5, tiny},  {1e-3, 1000.0}, {1e6, 1e6},
  };
  for_each_model([&states](const auto& model, std::size_t position) {
    const ThermalModel held(model);
    for (const auto& [v, t] : states) {
      const EosResult<double> expected = model.pressure(v, t);
      const EosResult<double> actual = held.pressure(v, t);
      EXPECT_TRUE(actual ? expected && std::bit_cast<std::uint64_t>(*actual) ==
                                           std::bit_cast<std::uint64_t>(*expected)
                         : !expected && actual.error() == expected.error())
          << position << " at V = " << v << ", T = " << t;
    }
  });
}

// Which of V and T an operation checks first, with both bad. The reference's
// own errors (the end of the Tait domain at 8/3 V0) show only after the
// thermal part succeeded.
TEST(ThermalStateChecks, OrderOfOperations) {
  const auto [apl, dewaele, dorogokupets, linear, quadratic, log_volume, taylor, debye, einstein,
              holland_powell, tait_holland_powell, multi_oscillator, reference_state] =
      thermal_test::all_thermal_models();
  const EosError volume = bad_state("volume");
  const EosError temperature = bad_state("temperature");
  const std::tuple<const char*, EosResult<double>, EosError> rows[] = {
      // The asymptotic power law tests T first, but not in P_vib.
      {"APL P_th", apl.thermal_pressure(0.0, 0.0), temperature},
      {"APL P_vib", apl.vibrational_pressure(-1.0, nan), volume},
      // Mie-Grueneisen tests V first; Cv tests T first.
      {"MGD P_th", debye.thermal_pressure(0.0, -1.0), volume},
      {"MGD Cv", debye.molar_heat_capacity_v(-1.0, 0.0), temperature},
      {"Tait HP P", ThermalModel(tait_holland_powell).pressure(30.0, -1.0), temperature},
      {"Tait HP P", ThermalModel(tait_holland_powell).pressure(30.0, 1000.0),
       bad_state("volume", "is outside the modified Tait EOS domain")},
  };
  for (const auto& [what, result, error] : rows) EXPECT_TRUE(fails_with(result, error)) << what;
}

const LinearThermalPressure linear_law = *LinearThermalPressure::make(bm3_reference(), 300.0, 0.01);

// The thermal part's checks come first; the difference stencils check V, T,
// then the step, and a relative volume step of one reaches V = 0; f_dac is
// checked before V.
TEST(ThermalEosDefaults, ChecksInOrder) {
  const std::string_view unit = "must lie in [0, 1)";
  const std::tuple<const char*, EosResult<double>, EosError> rows[] = {
      {"P", linear_law.pressure(-1.0, 0.0), bad_state("volume")},
      {"P", linear_law.pressure(5.0, nan), bad_state("temperature")},
      {"V", linear_law.volume(nan, 0.0), bad_state("temperature")},
      {"T", linear_law.temperature(inf, -1.0), bad_state("pressure", phrase::finite)},
      {"T", linear_law.temperature(1.0, 0.0), bad_state("volume")},
      {"V_dac", linear_law.volume_with_dac_confinement(1.0, -1.0, nan), bad_state("temperature")},
      {"V_dac", linear_law.volume_with_dac_confinement(1.0, 300.0, 1.0), bad_state("f_dac", unit)},
      {"K_T", linear_law.bulk_modulus(0.0, 0.0, 0.0), bad_state("volume")},
      {"alpha", linear_law.thermal_expansivity(5.0, -1.0, nan), bad_state("temperature")},
      {"alpha", linear_law.thermal_expansivity(5.0, 300.0, inf), bad_state("relative_step")},
      {"K_T", linear_law.bulk_modulus(10.0, 300.0, 1.0), bad_state("volume")},
      {"P_dac", linear_law.dac_thermal_pressure(5.0, 1300.0, -0.1), bad_state("f_dac", unit)},
      {"P_dac", linear_law.dac_thermal_pressure(-5.0, 1300.0, nan), bad_state("f_dac", phrase::finite)},
      {"P_dac", linear_law.dac_thermal_pressure(-5.0, 1300.0, 0.5), bad_state("volume")},
  };
  for (const auto& [what, result, error] : rows) EXPECT_TRUE(fails_with(result, error)) << what;
}

// P = P_ref + P_th; the temperature step is capped at 0.49 T, so a huge one
// still gives alpha = 0.01 / K_T; the cell holds back f_dac P_th.
TEST(ThermalEosDefaults, Values) {
  EXPECT_EQ(linear_law.pressure(5.0, 1300.0), 10.0 + value_of(bm3_reference().pressure(5.0)));
  const double k = value_of(bm3_reference().bulk_modulus(10.0));
  EXPECT_TRUE(relatively_near(linear_law.thermal_expansivity(10.0, 300.0, 100.0), 0.01 / k, 1e-7));
  EXPECT_EQ(linear_law.dac_thermal_pressure(5.0, 1300.0, 0.3),
            0.3 * value_of(linear_law.thermal_pressure(5.0, 1300.0)));
}

// A model's own operation replaces the default everywhere: the closed-form
// K_T of the reference state in the compressibility, the Taylor increment
// (not its thermal pressure, non-zero at Tr) in the confinement share, the
// embedded Debye Tr as the start of the Debye-quadratic temperature search,
// and the model's Cv in Cp = Cv + alpha^2 K_T V T 10000 and K_S = K_T Cp/Cv.
TEST(ThermalEosDefaults, DefaultsCallTheModelsOwnOperations) {
  const auto [apl, dewaele, dorogokupets, linear, quadratic, log_volume, taylor, debye, einstein,
              holland_powell, tait_holland_powell, multi_oscillator, reference_state] =
      thermal_test::all_thermal_models();
  EXPECT_EQ(reference_state.isothermal_compressibility(10.5, 1500.0),
            1.0 / value_of(reference_state.state_eos(1500.0)->bulk_modulus(10.5)));
  EXPECT_NE(taylor.thermal_pressure(10.5, 300.0), 0.0);
  EXPECT_EQ(taylor.dac_thermal_pressure(10.5, 300.0, 0.5), 0.0);
  EXPECT_EQ(quadratic.temperature(value_of(quadratic.pressure(10.5, 300.0)), 10.5), 300.0);  // found at once
  const double cv = value_of(holland_powell.molar_heat_capacity_v(10.5, 1000.0));
  const double alpha = value_of(holland_powell.thermal_expansivity(10.5, 1000.0, 1e-5));
  const double k = value_of(holland_powell.bulk_modulus(10.5, 1000.0, 1e-6));
  const double cp = cv + alpha * alpha * k * 10.5 * 1000.0 * 10000.0;
  EXPECT_EQ(holland_powell.molar_heat_capacity_p(10.5, 1000.0), cp);
  EXPECT_EQ(holland_powell.adiabatic_bulk_modulus(10.5, 1000.0), (k * cp) / cv);
}

}  // namespace
}  // namespace nivaltus
