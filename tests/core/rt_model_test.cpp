// RtModel: kind order and names, dispatch, the central-difference dK/dP, and
// the two rebuilding operations.

#include "core/rt_model.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "tests/core/isothermal/isothermal_test_models.hpp"

namespace nivaltus {
namespace {

using test::all_model_cases;
using test::valid_model;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
const EosError bad_volume = EosError::invalid_state("volume", "must be positive and finite");
const EosError no_shift = EosError::invalid_parameter(
    "kprime_log_coefficient", "reference EOS does not support a pressure-derivative shift");

// Same kind and the same record, bit for bit (every record is doubles only).
bool same_bits(const RtModel& a, const RtModel& b) {
  if (a.kind() != b.kind()) return false;
  return std::visit(
      [&b](const auto& record) {
        using Record = std::remove_cvref_t<decltype(record)>;
        return std::memcmp(&record, b.get_if<Record>(), sizeof(Record)) == 0;
      },
      a.variant());
}

std::vector<double> with_reference(std::vector<double> parameters, double v0, double k0) {
  parameters[0] = v0;
  parameters[1] = k0;
  return parameters;
}

TEST(RtModelKinds, NamesFollowKindOrder) {
  const char* names[] = {"Baonza",
                         "BM2",
                         "BM3",
                         "BM4",
                         "Morse3",
                         "Murnaghan",
                         "ModifiedTait",
                         "NaturalStrain2",
                         "NaturalStrain3",
                         "NaturalStrain4",
                         "RydbergStacey",
                         "SunMorse3",
                         "SunMorse4",
                         "Vinet",
                         "Holzapfel"};
  ASSERT_EQ(RtModel::kind_count, std::size(names));
  for (const auto& c : all_model_cases()) {
    const RtModel model = valid_model(c.name, c.parameters);
    EXPECT_EQ(model.model_name(), c.name);
    EXPECT_EQ(model.variant().index(), static_cast<std::size_t>(model.kind()));
    EXPECT_EQ(names[static_cast<std::size_t>(model.kind())], c.name);
  }
}

TEST(RtModelMurnaghan, BulkModulusIsExactAtV0AndChecksVolume) {
  const RtModel model = *isothermal::Murnaghan::make(40.0, 123.456, 4.3);
  EXPECT_EQ(*model.bulk_modulus(40.0), 123.456);
  // K = K0 (V0/V)^K0', python3: 123.456 * (40/24)**4.3
  EXPECT_NEAR(*model.bulk_modulus(24.0), 123.456 * std::pow(40.0 / 24.0, 4.3), 1e-12 * 1110.0);
  EXPECT_EQ(model.bulk_modulus(0.0).error(), bad_volume);
  EXPECT_EQ(model.bulk_modulus(-3.0).error(), bad_volume);
  const RtModel steep = *isothermal::Murnaghan::make(40.0, 120.0, 1000.0);
  EXPECT_EQ(steep.bulk_modulus(4.0).error(), EosError::non_finite_result());
}

// A model that records the volumes of its evaluations: P = -V, K = V^2, so
// dK/dP = -2 V.
struct RecordingModel {
  std::vector<std::pair<char, double>>* calls;
  bool constant_pressure = false;
  double failing_pressure_volume = -1.0;

  EosResult<double> pressure(double volume) const {
    calls->emplace_back('P', volume);
    if (volume == failing_pressure_volume) return std::unexpected(EosError::bracketing_failed());
    return constant_pressure ? 7.0 : -volume;
  }
  EosResult<double> bulk_modulus(double volume) const {
    calls->emplace_back('K', volume);
    return volume * volume;
  }
};

TEST(CentralDerivative, EvaluatesPPlusPMinusKPlusKMinus) {
  std::vector<std::pair<char, double>> calls;
  const RecordingModel model{&calls};
  const auto k_prime = isothermal::bulk_modulus_derivative(model, 8.0, 0.25);
  ASSERT_TRUE(k_prime.has_value());
  EXPECT_DOUBLE_EQ(*k_prime, -16.0);
  const std::vector<std::pair<char, double>> expected = {{'P', 10.0}, {'P', 6.0}, {'K', 10.0}, {'K', 6.0}};
  EXPECT_EQ(calls, expected);
}

TEST(CentralDerivative, EqualPressuresEndBeforeAnyBulkModulus) {
  std::vector<std::pair<char, double>> calls;
  const RecordingModel model{&calls, true};
  EXPECT_EQ(isothermal::bulk_modulus_derivative(model, 8.0, 0.25).error(),
            EosError::outside_invertible_range());
  EXPECT_EQ(calls.size(), 2u);
}

TEST(CentralDerivative, PressureErrorPassesUnchanged) {
  std::vector<std::pair<char, double>> calls;
  const RecordingModel model{&calls, false, 6.0};
  EXPECT_EQ(isothermal::bulk_modulus_derivative(model, 8.0, 0.25).error(), EosError::bracketing_failed());
  EXPECT_EQ(calls.size(), 2u);
}

TEST(CentralDerivative, ChecksVolumeThenStep) {
  const RtModel model = *isothermal::BM3::make(74.7, 160.3, 4.62);
  const auto step_positive = EosError::invalid_state("relative_step", "must be positive and finite");
  const auto step_below_one = EosError::invalid_state("relative_step", "must be smaller than one");
  EXPECT_EQ(model.bulk_modulus_derivative(0.0, 2.0).error(), bad_volume);
  EXPECT_EQ(model.bulk_modulus_derivative(nan, nan).error(), bad_volume);
  for (const double step : {0.0, -0.0, -1e-3, nan, std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(model.bulk_modulus_derivative(70.0, step).error(), step_positive) << step;
  }
  EXPECT_EQ(model.bulk_modulus_derivative(70.0, 1.0).error(), step_below_one);
  EXPECT_TRUE(model.bulk_modulus_derivative(70.0, 0.999).has_value());
}

TEST(CentralDerivative, ModelErrorsPassUnchanged) {
  // V + h beyond the Baonza pseudospinodal.
  const RtModel baonza = *isothermal::Baonza::make(20.0, 100.0, 4.5);
  EXPECT_EQ(baonza.bulk_modulus_derivative(60.0, 0.5).error(),
            EosError::invalid_state("volume", "is outside the Baonza EOS pseudospinodal domain"));
}

TEST(WithReferenceState, RebuildsEveryKindThroughItsConstructor) {
  for (const auto& c : all_model_cases()) {
    const RtModel model = valid_model(c.name, c.parameters);
    const auto moved = model.with_reference_state(0.9 * c.parameters[0], 1.1 * c.parameters[1]);
    ASSERT_TRUE(moved.has_value()) << c.name << ": " << moved.error().to_string();
    // Carried-over parameters bit for bit, derived constants from the new V0, K0.
    const RtModel expected =
        valid_model(c.name, with_reference(c.parameters, 0.9 * c.parameters[0], 1.1 * c.parameters[1]));
    EXPECT_TRUE(same_bits(*moved, expected)) << c.name;
  }
}

TEST(WithReferenceState, TestsNewV0BeforeNewK0ForEveryKind) {
  const auto v0 = EosError::invalid_parameter("V0", "must be positive and finite");
  const auto k0 = EosError::invalid_parameter("K0", "must be positive and finite");
  for (const auto& c : all_model_cases()) {
    const RtModel model = valid_model(c.name, c.parameters);
    EXPECT_EQ(model.with_reference_state(0.0, nan).error(), v0) << c.name;
    EXPECT_EQ(model.with_reference_state(-1.0, 100.0).error(), v0) << c.name;
    EXPECT_EQ(model.with_reference_state(10.0, nan).error(), k0) << c.name;
    EXPECT_EQ(model.with_reference_state(10.0, -0.0).error(), k0) << c.name;
  }
}

TEST(WithReferenceState, ModifiedTaitCanBecomeSingularWithANewK0) {
  // K0'^2 + K0' = K0 K0'' at K0 = 10 for K0' = 4, K0'' = 2.
  const RtModel tait = *isothermal::ModifiedTait::make(10.0, 130.0, 4.0, 2.0);
  EXPECT_EQ(tait.with_reference_state(10.0, 10.0).error(),
            EosError::invalid_parameter("K0_prime/K0_double_prime", "produce a singular modified Tait EOS"));
}

TEST(PressureDerivativeShift, ZeroShiftCopiesEveryKindUnchecked) {
  for (const auto& c : all_model_cases()) {
    const RtModel model = valid_model(c.name, c.parameters);
    for (const double zero : {0.0, -0.0}) {
      const auto shifted = model.with_pressure_derivative_shift(zero);
      ASSERT_TRUE(shifted.has_value()) << c.name;
      EXPECT_TRUE(same_bits(*shifted, model)) << c.name;
    }
  }
  // Even a record that its constructor would refuse.
  const RtModel invalid = isothermal::Baonza{0.0, 100.0, 4.0};
  EXPECT_TRUE(invalid.with_pressure_derivative_shift(0.0).has_value());
  EXPECT_EQ(invalid.with_pressure_derivative_shift(1.0).error(),
            EosError::invalid_parameter("V0", "must be positive and finite"));
}

TEST(PressureDerivativeShift, MovesK0PrimeOfShiftableKinds) {
  for (const auto& c : all_model_cases()) {
    const RtModel model = valid_model(c.name, c.parameters);
    const auto shifted = model.with_pressure_derivative_shift(0.5);
    const bool shiftable = c.name == "BM3" || c.name == "Murnaghan" || c.name == "NaturalStrain3" ||
                           c.name == "Vinet" || c.name == "Baonza" || c.name == "Morse3" ||
                           c.name == "SunMorse3" || c.name == "SunMorse4";
    if (!shiftable) {
      EXPECT_EQ(shifted.error(), no_shift) << c.name;
      EXPECT_EQ(model.with_pressure_derivative_shift(nan).error(), no_shift) << c.name;
      continue;
    }
    ASSERT_TRUE(shifted.has_value()) << c.name;
    const RtModel expected = valid_model(c.name, {c.parameters[0], c.parameters[1], c.parameters[2] + 0.5});
    EXPECT_TRUE(same_bits(*shifted, expected)) << c.name;
  }
}

struct ShiftCase {
  std::string name;
  std::vector<double> parameters;
  double shift;
  std::string_view message;  // on field "K0_prime"; empty: accepted
};

TEST(PressureDerivativeShift, ShiftedK0PrimeMeetsTheKindsRules) {
  const ShiftCase cases[] = {
      {"BM3", {10, 100, 4.0}, nan, "must be finite"},
      {"BM3", {10, 100, 1e308}, 1e308, "must be finite"},
      {"BM3", {10, 100, 4.0}, -4.0, ""},
      {"BM3", {10, 100, 4.0}, -5.0, ""},
      {"Vinet", {10, 100, 4.0}, INFINITY, "must be finite"},
      {"Baonza", {10, 100, 4.0}, nan, "must be positive and finite"},
      {"Baonza", {10, 100, 4.0}, -4.0, "must be positive and finite"},
      {"Baonza", {10, 100, 4.0}, -5.0, "must be positive and finite"},
      {"Baonza", {10, 100, 4.0}, -3.5, ""},
      {"Morse3", {10, 100, 4.0}, -3.0, "Morse3 requires K0_prime != 1"},
      {"Morse3", {10, 100, 4.0}, nan, "must be finite"},
      {"Morse3", {10, 100, 4.0}, -2.5, ""},
      {"SunMorse3", {10, 100, 2.0}, -2.0 - 1.0 / 3.0, "Sun-Morse requires (n*K0_prime+1)/3 != 0"},
      {"SunMorse4", {10, 100, 1.0}, -1.25, "Sun-Morse requires (n*K0_prime+1)/3 != 0"},
      {"SunMorse4", {10, 100, 1.0}, -1.0 - 1.0 / 3.0, ""},
  };
  for (const auto& c : cases) {
    const auto shifted = valid_model(c.name, c.parameters).with_pressure_derivative_shift(c.shift);
    if (c.message.empty()) {
      EXPECT_TRUE(shifted.has_value()) << c.name << " shift " << c.shift;
    } else {
      EXPECT_EQ(shifted.error(), EosError::invalid_parameter("K0_prime", c.message))
          << c.name << " " << c.shift;
    }
  }
}

}  // namespace
}  // namespace nivaltus
