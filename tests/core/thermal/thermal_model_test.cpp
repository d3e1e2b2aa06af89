// ThermalModel, the run-time thermal model: kinds and names, dispatch of the
// total pressure, and the order in which every model checks its state; the
// shared default bodies: their checks in order, the model's own versions of
// the operations they use, and K_T = K_ref of the linear law, whose thermal
// pressure does not depend on V.

#include "core/thermal/thermal_model.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
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

TEST(ThermalModel, HoldsEveryKindUnderItsName) {
  std::string names;
  for_each_model([&names](const auto& model, std::size_t position) {
    const ThermalModel held(model);
    EXPECT_EQ(static_cast<std::size_t>(held.kind()), position);
    EXPECT_NE(held.get_if<std::remove_cvref_t<decltype(model)>>(), nullptr) << position;
    names += std::string(held.model_name()) + " ";
  });
  EXPECT_EQ(names,
            "AsymptoticPowerLawMieGruneisenDebye Dewaele2006 DorogokupetsOganov2007 LinearThermalPressure "
            "DebyeQuadraticThermalPressure LogVolumeThermalPressure SecondOrderTaylorThermalPressure "
            "MieGruneisenDebye MieGruneisenEinstein HollandPowellThermalPressure ThermalModifiedTait "
            "MultiOscillatorGruneisenThermalEOS ThermalReferenceStateEOS ");
  EXPECT_EQ(ThermalModel::kind_count, 13u);
  // The two Holland-Powell kinds hold one model template over two references.
  const ThermalModel tait_reference(std::get<10>(thermal_test::all_thermal_models()));
  EXPECT_EQ(tait_reference.get_if<thermal::HollandPowellThermalPressure<RtModel>>(), nullptr);
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

// Which of V and T each operation checks first, with both bad. The thermal
// part checks V and T first; the reference's own errors (a BM3 overflow at a
// subnormal volume, the end of the Tait domain at 8/3 V0) show only after it
// succeeded.
TEST(ThermalStateChecks, OrderOfEveryModelsOperations) {
  const auto [apl, dewaele, dorogokupets, linear, quadratic, log_volume, taylor, debye, einstein,
              holland_powell, tait_holland_powell, multi_oscillator, reference_state] =
      thermal_test::all_thermal_models();
  const EosError volume = bad_state("volume");
  const EosError temperature = bad_state("temperature");
  const std::tuple<const char*, EosResult<double>, EosError> rows[] = {
      // The asymptotic power law tests T before V, but not in P_vib, whose
      // gamma comes first.
      {"APL P_th", apl.thermal_pressure(0.0, 0.0), temperature},
      {"APL P_th", apl.thermal_pressure(0.0, 300.0), volume},
      {"APL P_vib", apl.vibrational_pressure(-1.0, nan), volume},
      {"APL P_vib", apl.vibrational_pressure(10.0, nan), temperature},
      // Mie-Grueneisen tests V first; Cv, and Cp through it, test T first,
      // while K_S asks K_T first.
      {"MGD P_th", debye.thermal_pressure(0.0, -1.0), volume},
      {"MGD Cv", debye.molar_heat_capacity_v(-1.0, 0.0), temperature},
      {"MGD Cp", debye.molar_heat_capacity_p(-1.0, 0.0), temperature},
      {"MGD K_S", debye.adiabatic_bulk_modulus(-1.0, 0.0), volume},
      {"DQ P", quadratic.pressure(0.0, 0.0), volume},
      {"DW P_vib", dewaele.vibrational_pressure_increment(-1.0, nan), volume},
      {"DO P_th", dorogokupets.thermal_pressure(nan, inf), volume},
      {"HP P_th", holland_powell.thermal_pressure(-1.0, inf), volume},
      {"MO P_th", multi_oscillator.thermal_pressure(nan, -1.0), volume},
      {"MO T", multi_oscillator.temperature(inf, -1.0), bad_state("pressure", phrase::finite)},
      {"LIN P_th", linear.thermal_pressure(0.0, -1.0), volume},
      {"SOT increment", taylor.thermal_pressure_increment(10.0, inf), temperature},
      {"LIN P", ThermalModel(linear).pressure(tiny, tiny), non_finite()},
      {"Tait HP P", ThermalModel(tait_holland_powell).pressure(30.0, -1.0), temperature},
      {"Tait HP P", ThermalModel(tait_holland_powell).pressure(30.0, 1000.0),
       bad_state("volume", "is outside the modified Tait EOS domain")},
  };
  for (const auto& [what, result, error] : rows) EXPECT_TRUE(fails_with(result, error)) << what;
  EXPECT_TRUE(linear.thermal_pressure(tiny, tiny).has_value());
}

static_assert(ThermalEosModel<LinearThermalPressure> && !CaloricEosModel<LinearThermalPressure>);
static_assert(CaloricEosModel<MieGruneisenDebye> && CaloricEosModel<HollandPowellThermalPressure<RtModel>>);

const LinearThermalPressure linear_law = *LinearThermalPressure::make(bm3_reference(), 300.0, 0.01);

// The thermal part goes first: with both failing, its error is reported.
TEST(ThermalEosDefaults, PressureAndInversionsCheckInOrder) {
  EXPECT_TRUE(fails_with(linear_law.pressure(-1.0, 0.0), bad_state("volume")));
  EXPECT_TRUE(fails_with(linear_law.pressure(5.0, nan), bad_state("temperature")));
  EXPECT_EQ(linear_law.pressure(5.0, 1300.0), 10.0 + value_of(bm3_reference().pressure(5.0)));
  EXPECT_TRUE(fails_with(linear_law.volume(nan, 0.0), bad_state("temperature")));
  EXPECT_TRUE(fails_with(linear_law.temperature(inf, -1.0), bad_state("pressure", phrase::finite)));
  EXPECT_TRUE(fails_with(linear_law.temperature(1.0, 0.0), bad_state("volume")));
  EXPECT_TRUE(fails_with(linear_law.volume_with_dac_confinement(1.0, -1.0, nan), bad_state("temperature")));
  EXPECT_TRUE(fails_with(linear_law.volume_with_dac_confinement(1.0, 300.0, 1.0),
                         bad_state("f_dac", "must lie in [0, 1)")));
}

// V, T, then the step. A relative volume step of one reaches V = 0; the
// temperature step is capped at 0.49 T, so a huge one still gives
// alpha = 0.01 / K_T.
TEST(ThermalEosDefaults, DifferenceStencils) {
  for (const auto& [v, t, h, field] : {std::tuple{0.0, 0.0, 0.0, "volume"},
                                       {5.0, -1.0, nan, "temperature"},
                                       {5.0, 300.0, inf, "relative_step"}}) {
    EXPECT_TRUE(fails_with(linear_law.bulk_modulus(v, t, h), bad_state(field))) << field;
    EXPECT_TRUE(fails_with(linear_law.thermal_expansivity(v, t, h), bad_state(field))) << field;
  }
  EXPECT_TRUE(fails_with(linear_law.bulk_modulus(10.0, 300.0, 1.0), bad_state("volume")));
  const double k = value_of(bm3_reference().bulk_modulus(10.0));
  EXPECT_TRUE(relatively_near(linear_law.bulk_modulus(10.0, 300.0, 1e-4), k, 1e-7));
  EXPECT_TRUE(relatively_near(linear_law.thermal_expansivity(10.0, 300.0, 100.0), 0.01 / k, 1e-7));
  EXPECT_EQ(linear_law.isothermal_compressibility(10.0, 300.0),
            1.0 / value_of(linear_law.bulk_modulus(10.0, 300.0, 1e-6)));
}

// f_dac is checked first, finite and in [0, 1); -0.0 counts as zero, and
// 0 times a negative increment is -0.
TEST(ThermalEosDefaults, DiamondAnvilCellShare) {
  EXPECT_EQ(linear_law.dac_thermal_pressure(5.0, 1300.0, 0.3),
            0.3 * value_of(linear_law.thermal_pressure(5.0, 1300.0)));
  EXPECT_TRUE(std::signbit(value_of(linear_law.dac_thermal_pressure(5.0, 100.0, 0.0))));
  EXPECT_EQ(linear_law.dac_thermal_pressure(5.0, 100.0, -0.0), 0.0);
  EXPECT_TRUE(fails_with(linear_law.dac_thermal_pressure(5.0, 1300.0, -0.1),
                         bad_state("f_dac", "must lie in [0, 1)")));
  EXPECT_TRUE(
      fails_with(linear_law.dac_thermal_pressure(-5.0, 1300.0, nan), bad_state("f_dac", phrase::finite)));
  EXPECT_TRUE(fails_with(linear_law.dac_thermal_pressure(-5.0, 1300.0, 0.5), bad_state("volume")));
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
