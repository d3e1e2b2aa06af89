#include "core/thermal/thermal_model.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <string_view>
#include <tuple>
#include <utility>

#include "tests/core/thermal/thermal_model_fixtures.hpp"
#include "tests/core/thermal/thermal_test_support.hpp"

namespace nivaltus {
namespace {

using thermal_test::bad_state;
using thermal_test::fails_with;
using thermal_test::inf;
using thermal_test::nan;
using thermal_test::relatively_near;
using thermal_test::value_of;

constexpr double tiny = std::numeric_limits<double>::denorm_min();

constexpr std::string_view names[] = {
    "AsymptoticPowerLawMieGruneisenDebye",
    "Dewaele2006",
    "DorogokupetsOganov2007",
    "LinearThermalPressure",
    "DebyeQuadraticThermalPressure",
    "LogVolumeThermalPressure",
    "SecondOrderTaylorThermalPressure",
    "MieGruneisenDebye",
    "MieGruneisenEinstein",
    "HollandPowellThermalPressure",
    "ThermalModifiedTait",
    "MultiOscillatorGruneisenThermalEOS",
    "ThermalReferenceStateEOS",
};

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

::testing::AssertionResult identical(const EosResult<double>& actual, const EosResult<double>& expected) {
  if (actual.has_value() != expected.has_value())
    return ::testing::AssertionFailure() << "one of the two failed";
  if (!actual) {
    if (actual.error() == expected.error()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << actual.error() << " != " << expected.error();
  }
  if (std::bit_cast<std::uint64_t>(*actual) == std::bit_cast<std::uint64_t>(*expected)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << *actual << " != " << *expected;
}

TEST(ThermalModel, HoldsEveryKindUnderItsName) {
  EXPECT_EQ(std::size(names), ThermalModel::kind_count);
  for_each_model([](const auto& model, std::size_t position) {
    using Model = std::remove_cvref_t<decltype(model)>;
    const ThermalModel held(model);
    EXPECT_EQ(static_cast<std::size_t>(held.kind()), position);
    EXPECT_EQ(held.model_name(), names[position]);
    ASSERT_NE(held.get_if<Model>(), nullptr) << names[position];
    EXPECT_EQ(held.variant().index(), position);
  });
  // The two Holland-Powell kinds hold one model type over two references.
  const auto models = thermal_test::all_thermal_models();
  const ThermalModel rt_reference(std::get<9>(models));
  const ThermalModel tait_reference(std::get<10>(models));
  EXPECT_EQ(rt_reference.get_if<thermal::HollandPowellThermalPressure<isothermal::ModifiedTait>>(), nullptr);
  EXPECT_EQ(tait_reference.get_if<thermal::HollandPowellThermalPressure<RtModel>>(), nullptr);
}

// Values and errors alike, bit for bit, over good states, bad states in
// several orders, subnormals and volumes far outside the references'
// comfortable range.
TEST(ThermalModel, PressureIsTheHeldModelsPressure) {
  const std::pair<double, double> states[] = {
      {10.5, 1500.0}, {11.8, 700.0}, {11.24, 300.0}, {9.0, 150.0},   {0.0, 1000.0},
      {-1.0, nan},    {10.5, 0.0},   {10.5, nan},    {inf, inf},     {nan, -1.0},
      {tiny, 1000.0}, {10.5, tiny},  {1e-3, 1000.0}, {13.0, 2000.0}, {1e6, 1e6},
  };
  for_each_model([&states](const auto& model, std::size_t position) {
    const ThermalModel held(model);
    for (const auto& [v, t] : states) {
      EXPECT_TRUE(identical(held.pressure(v, t), model.pressure(v, t)))
          << names[position] << " at V = " << v << ", T = " << t;
    }
  });
}

TEST(ThermalModel, ThermalErrorsComeBeforeReferenceErrors) {
  const auto models = thermal_test::all_thermal_models();
  const ThermalModel linear(std::get<3>(models));
  EXPECT_TRUE(fails_with(linear.pressure(0.0, nan), bad_state("volume")));
  EXPECT_TRUE(fails_with(linear.pressure(10.5, nan), bad_state("temperature")));
  // A subnormal volume and temperature pass the checks; the BM3 reference
  // then overflows at that volume.
  EXPECT_TRUE(std::get<3>(models).thermal_pressure(tiny, tiny).has_value());
  EXPECT_TRUE(fails_with(linear.pressure(tiny, tiny), EosError::non_finite_result()));

  // The modified Tait domain ends at 8/3 V0: its error shows only after the
  // thermal pressure at (V, T) succeeded.
  const ThermalModel tait(std::get<10>(models));
  const double outside = 3.0 * 11.24;
  EXPECT_TRUE(fails_with(tait.pressure(outside, 1000.0),
                         bad_state("volume", "is outside the modified Tait EOS domain")));
  EXPECT_TRUE(fails_with(tait.pressure(outside, -1.0), bad_state("temperature")));
}

// Every model gives back the volume and the temperature of a state from its
// total pressure there.
TEST(ThermalModel, VolumeAndTemperatureRoundTrips) {
  for_each_model([](const auto& model, std::size_t position) {
    for (const auto& [v, t] : {std::pair{10.5, 1500.0}, {11.8, 700.0}}) {
      SCOPED_TRACE(::testing::Message() << names[position] << " at V = " << v << ", T = " << t);
      const double p = value_of(ThermalModel(model).pressure(v, t));
      EXPECT_TRUE(relatively_near(value_of(model.volume(p, t)), v, 1e-10));
      EXPECT_TRUE(relatively_near(value_of(model.temperature(p, v)), t, 1e-8));
    }
  });
}

}  // namespace
}  // namespace nivaltus
