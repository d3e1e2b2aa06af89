// Validating constructors: the first failing check is the one reported, in
// parameter order, with the field name and phrase of that check.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/core/isothermal/isothermal_test_models.hpp"

namespace nivaltus {
namespace {

using test::build_model;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double tiny = std::numeric_limits<double>::denorm_min();
constexpr std::string_view positive = "must be positive and finite";
constexpr std::string_view finite = "must be finite";
constexpr std::string_view morse_singular = "Morse3 requires K0_prime != 1";
constexpr std::string_view sun_morse_singular = "Sun-Morse requires (n*K0_prime+1)/3 != 0";
constexpr std::string_view tait_singular = "produce a singular modified Tait EOS";

struct CheckCase {
  std::string name;
  std::vector<double> parameters;
  std::string_view field;  // empty: the parameters are accepted
  std::string_view message;
};

std::vector<CheckCase> check_cases() {
  std::vector<CheckCase> cases;
  // Every kind tests V0 before K0, both positive and finite.
  for (const char* name : {"Baonza", "BM2", "BM3", "BM4", "Morse3", "Murnaghan", "ModifiedTait",
                           "NaturalStrain2", "NaturalStrain3", "NaturalStrain4", "RydbergStacey", "SunMorse3",
                           "SunMorse4", "Vinet", "Holzapfel"}) {
    std::vector<double> all_bad(7, nan);
    cases.push_back({name, all_bad, "V0", positive});
    all_bad[0] = 0.0;
    cases.push_back({name, all_bad, "V0", positive});
    all_bad[0] = tiny;
    cases.push_back({name, all_bad, "K0", positive});
    all_bad[1] = -0.0;
    cases.push_back({name, all_bad, "K0", positive});
    all_bad[1] = inf;
    cases.push_back({name, all_bad, "K0", positive});
  }
  const std::vector<CheckCase> specific = {
      // Third-order kinds: any finite K0', zero and negative included.
      {"BM3", {10, 100, inf}, "K0_prime", finite},
      {"BM3", {10, 100, -inf}, "K0_prime", finite},
      {"BM3", {10, 100, 0.0}, "", ""},
      {"BM3", {10, 100, -3.0}, "", ""},
      {"NaturalStrain3", {10, 100, nan}, "K0_prime", finite},
      {"Vinet", {10, 100, nan}, "K0_prime", finite},
      {"Murnaghan", {10, 100, nan}, "K0_prime", finite},
      {"Murnaghan", {10, 100, -0.0}, "", ""},
      {"BM2", {std::numeric_limits<double>::max(), tiny}, "", ""},
      // Fourth-order kinds: K0' before K0''.
      {"BM4", {10, 100, nan, nan}, "K0_prime", finite},
      {"BM4", {10, 100, 4, inf}, "K0_double_prime", finite},
      {"NaturalStrain4", {10, 100, inf, nan}, "K0_prime", finite},
      {"NaturalStrain4", {10, 100, 4, nan}, "K0_double_prime", finite},
      {"RydbergStacey", {10, 100, nan, nan}, "K0_prime", finite},
      {"RydbergStacey", {10, 100, 4, -inf}, "K_infinity_prime", finite},
      {"RydbergStacey", {10, 100, 4, -2.0}, "", ""},
      // Baonza alone needs a positive K0'.
      {"Baonza", {10, 100, 0.0}, "K0_prime", positive},
      {"Baonza", {10, 100, -0.0}, "K0_prime", positive},
      {"Baonza", {10, 100, -1.0}, "K0_prime", positive},
      {"Baonza", {10, 100, inf}, "K0_prime", positive},
      {"Baonza", {10, 100, tiny}, "", ""},
      // Morse3: |K0' - 1| <= epsilon is refused, the bound included.
      {"Morse3", {10, 100, nan}, "K0_prime", finite},
      {"Morse3", {10, 100, 1.0}, "K0_prime", morse_singular},
      {"Morse3", {10, 100, 1.0000000000000002}, "K0_prime", morse_singular},
      {"Morse3", {10, 100, 0.9999999999999999}, "K0_prime", morse_singular},
      {"Morse3", {10, 100, 1.0000000000000004}, "", ""},
      // Sun–Morse: |(k K0' + 1)/3| <= epsilon is refused.
      {"SunMorse3", {10, 100, inf}, "K0_prime", finite},
      {"SunMorse3", {10, 100, -1.0 / 3.0}, "K0_prime", sun_morse_singular},
      {"SunMorse3", {10, 100, -0.25}, "", ""},
      {"SunMorse4", {10, 100, -0.25}, "K0_prime", sun_morse_singular},
      {"SunMorse4", {10, 100, -1.0 / 3.0}, "", ""},
      // ModifiedTait: d = K0'^2 + K0' - K0 K0'', s = 1 + K0', t = K0 K0'' + s.
      {"ModifiedTait", {10, 100, nan, nan}, "K0_prime", finite},
      {"ModifiedTait", {10, 100, 4, inf}, "K0_double_prime", finite},
      {"ModifiedTait", {10, 100, -1.0, 0.5}, "K0_prime/K0_double_prime", tait_singular},  // s = 0
      {"ModifiedTait", {10, 10, 4.0, 2.0}, "K0_prime/K0_double_prime", tait_singular},    // d = 0
      {"ModifiedTait", {10, 10, 4.0, -0.5}, "K0_prime/K0_double_prime", tait_singular},   // t = 0
      {"ModifiedTait", {10, 10, 4.0, 0.0}, "", ""},
      // Holzapfel: K0' finite, then n and Z positive.
      {"Holzapfel", {10, 100, nan, nan, nan}, "K0_prime", finite},
      {"Holzapfel", {10, 100, 4, 0.0, nan}, "n", positive},
      {"Holzapfel", {10, 100, 4, 1.0, -26.0}, "Z", positive},
      {"Holzapfel", {10, 100, -4, 1.0, 26.0}, "", ""},
  };
  cases.insert(cases.end(), specific.begin(), specific.end());
  return cases;
}

class ConstructorChecks : public ::testing::TestWithParam<CheckCase> {};

TEST_P(ConstructorChecks, ReportFirstFailure) {
  const CheckCase& c = GetParam();
  const auto model = build_model(c.name, c.parameters);
  if (c.field.empty()) {
    EXPECT_TRUE(model.has_value()) << model.error().to_string();
    return;
  }
  ASSERT_FALSE(model.has_value());
  EXPECT_EQ(model.error(), EosError::invalid_parameter(c.field, c.message)) << model.error().to_string();
}

INSTANTIATE_TEST_SUITE_P(EveryKind, ConstructorChecks, ::testing::ValuesIn(check_cases()),
                         [](const auto& info) { return info.param.name + "_" + std::to_string(info.index); });

// Derived constants against python3 + mpmath (40 digits) evaluations of
// a = (1 + K0')/(1 + K0' + K0 K0''), b = K0'/K0 - K0''/(1 + K0'),
// c = (1 + K0' + K0 K0'')/(K0'^2 + K0' - K0 K0''), and
// L = ln(3 K0 / ((n Z/(10 V0))^(5/3) 1003.6)), c0 = -L, c2 = 1.5 (K0' - 3) + L.
TEST(DerivedConstants, ModifiedTait) {
  const auto tait = *isothermal::ModifiedTait::make(22.5, 130.0, 4.2, -0.033);
  EXPECT_NEAR(tait.a, 5.7142857142857143, 1e-15 * 5.7);
  EXPECT_NEAR(tait.b, 0.038653846153846154, 1e-15 * 0.039);
  EXPECT_NEAR(tait.c, 0.034825870646766169, 1e-14 * 0.035);
}

TEST(DerivedConstants, Holzapfel) {
  const auto holzapfel = *isothermal::Holzapfel::make(16.5, 160.0, 4.6, 1.0, 26.0);
  EXPECT_NEAR(holzapfel.c0, -2.3421855158748337, 1e-14);
  EXPECT_NEAR(holzapfel.c2, 4.7421855158748337, 1e-14);
}

// A record holding a singular K0' (only reachable by building the record
// directly) reports the constructor's error rather than dividing by zero.
TEST(DerivedConstants, SingularStoredK0PrimeIsReportedAtEvaluation) {
  const isothermal::Morse3 morse{10.0, 100.0, 1.0};
  const isothermal::SunMorse3 sun_morse3{10.0, 100.0, -1.0 / 3.0};
  const isothermal::SunMorse4 sun_morse4{10.0, 100.0, -0.25};
  EXPECT_EQ(morse.pressure(9.0).error(), EosError::invalid_parameter("K0_prime", morse_singular));
  EXPECT_EQ(morse.bulk_modulus(9.0).error(), EosError::invalid_parameter("K0_prime", morse_singular));
  EXPECT_EQ(sun_morse3.pressure(9.0).error(), EosError::invalid_parameter("K0_prime", sun_morse_singular));
  EXPECT_EQ(sun_morse4.bulk_modulus(9.0).error(),
            EosError::invalid_parameter("K0_prime", sun_morse_singular));
  // The volume is still tested first.
  EXPECT_EQ(morse.pressure(0.0).error(), EosError::invalid_state("volume", "must be positive and finite"));
}

}  // namespace
}  // namespace nivaltus
