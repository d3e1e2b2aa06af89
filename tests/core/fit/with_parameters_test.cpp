// Rebuilding run-time models from named parameter values: which names each of
// the 28 models accepts, the texts of the errors, the order in which the
// checks run, and that a rebuilt model is the model its constructor builds.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/fit/named_parameters.hpp"
#include "core/rt_model.hpp"
#include "tests/core/test_support.hpp"

namespace nivaltus {
namespace {

using namespace test;
using fit::FitError;
using Names = std::vector<std::string>;
using Values = std::vector<double>;

::testing::AssertionResult fails_with(const fit::FitResult<RtModel>& result, const FitError& expected) {
  if (result) return ::testing::AssertionFailure() << "succeeded, expected " << expected;
  if (result.error() != expected) {
    return ::testing::AssertionFailure() << "failed with " << result.error() << ", expected " << expected;
  }
  return ::testing::AssertionSuccess();
}

FitError unavailable_text(const std::string& quoted_name) {
  return FitError::invalid_input("parameter " + quoted_name + " is unavailable for the native EOS");
}

const FitError length_mismatch =
    FitError::invalid_input("native EOS parameter names and values have different lengths");

// ---- isothermal kinds ------------------------------------------------------

// One model of each kind with the names it accepts, in field order, and new
// values for all of them that its constructor accepts.
struct IsothermalCase {
  RtModel model;
  Names accepted;
  Values replacement;
};

std::vector<IsothermalCase> isothermal_cases() {
  using namespace isothermal;
  const Names three{"V0", "K0", "K0_prime"};
  const Names four{"V0", "K0", "K0_prime", "K0_double_prime"};
  return {
      {*Baonza::make(20, 100, 4.5), three, {21, 110, 4.0}},
      {*BM2::make(11.2, 160), {"V0", "K0"}, {12, 150}},
      {*BM3::make(74.7, 160.3, 4.62), three, {75, 170, 4.0}},
      {*BM4::make(10, 200, 4.5, -0.03), four, {11, 210, 4.2, -0.02}},
      {*Morse3::make(20, 100, 4.7), three, {21, 110, 4.0}},
      {*Murnaghan::make(40, 120, 4.3), three, {41, 125, 4.0}},
      {*ModifiedTait::make(22.5, 130, 4.2, -0.033), four, {23, 140, 4.0, -0.03}},
      {*NaturalStrain2::make(11.2, 160), {"V0", "K0"}, {12, 150}},
      {*NaturalStrain3::make(74.7, 160.3, 4.62), three, {75, 170, 4.0}},
      {*NaturalStrain4::make(10, 200, 4.5, -0.03), four, {11, 210, 4.2, -0.02}},
      {*RydbergStacey::make(12, 150, 4.8, 2.9),
       {"V0", "K0", "K0_prime", "K_infinity_prime"},
       {13, 160, 4.5, 2.5}},
      {*SunMorse3::make(20, 100, 4.4), three, {21, 110, 4.0}},
      {*SunMorse4::make(20, 100, 4.4), three, {21, 110, 4.0}},
      {*Vinet::make(40, 160, 4.6), three, {41, 170, 5.0}},
      {*Holzapfel::make(16.5, 160, 4.6, 1.0, 26.0),
       {"V0", "K0", "K0_prime", "n", "Z"},
       {17, 170, 4.2, 2.0, 13.0}},
  };
}

// Every parameter name of any kind, and names that no kind has.
const Names every_isothermal_name{"V0", "K0", "K0_prime", "K0_double_prime", "K_infinity_prime", "n", "Z"};

TEST(RtModelWithParameters, EachKindAcceptsExactlyItsOwnNames) {
  for (const IsothermalCase& c : isothermal_cases()) {
    SCOPED_TRACE(std::string(c.model.model_name()));
    for (const std::string& name : every_isothermal_name) {
      const bool accepted = std::find(c.accepted.begin(), c.accepted.end(), name) != c.accepted.end();
      const auto result = RtModel::with_parameters(c.model, Names{name}, Values{c.model.v0()});
      if (accepted) {
        // The V0 value is valid for every one of these parameters.
        EXPECT_TRUE(result.has_value()) << name << ": " << result.error();
      } else {
        EXPECT_TRUE(fails_with(result, unavailable_text("\"" + name + "\""))) << name;
      }
    }
    for (const std::string name : {"v0", "V0 ", " V0", "k0", "V1", "", "rt_eos.V0", "a", "Tr"}) {
      EXPECT_TRUE(fails_with(RtModel::with_parameters(c.model, Names{name}, Values{1.0}),
                             unavailable_text("\"" + name + "\"")))
          << name;
    }
  }
}

// The rebuilt model evaluates as the model built directly from the new values.
TEST(RtModelWithParameters, RebuiltModelMatchesTheConstructorsModel) {
  const auto cases = isothermal_cases();
  const auto direct = isothermal_cases();
  for (std::size_t k = 0; k < cases.size(); ++k) {
    const IsothermalCase& c = cases[k];
    SCOPED_TRACE(std::string(c.model.model_name()));
    const auto rebuilt = RtModel::with_parameters(c.model, c.accepted, c.replacement);
    ASSERT_TRUE(rebuilt.has_value()) << rebuilt.error();
    EXPECT_EQ(rebuilt->kind(), c.model.kind());
    EXPECT_EQ(rebuilt->v0(), c.replacement[0]);
    EXPECT_EQ(rebuilt->k0(), c.replacement[1]);
    // P(V0) = 0 and K(V0) = K0 of the new values.
    EXPECT_NEAR(value_of(rebuilt->pressure(c.replacement[0])), 0.0, 1e-12 * c.replacement[1]);
    EXPECT_TRUE(relatively_near(rebuilt->bulk_modulus(c.replacement[0]), c.replacement[1], 1e-12));
    // No names: a copy that evaluates identically.
    const auto copy = RtModel::with_parameters(c.model, Names{}, Values{});
    ASSERT_TRUE(copy.has_value());
    const double volume = 0.8 * c.model.v0();
    EXPECT_EQ(value_of(copy->pressure(volume)), value_of(direct[k].model.pressure(volume)));
    // Names in reverse order give the same model.
    Names reversed(c.accepted.rbegin(), c.accepted.rend());
    Values reversed_values(c.replacement.rbegin(), c.replacement.rend());
    const auto again = RtModel::with_parameters(c.model, reversed, reversed_values);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(value_of(again->pressure(volume)), value_of(rebuilt->pressure(volume)));
    // The input model is unchanged.
    EXPECT_EQ(c.model.v0(), direct[k].model.v0());
  }
}

// A parameter changed alone keeps every other one: K0' alone moves K' at V0
// and leaves V0 and K0.
TEST(RtModelWithParameters, UnnamedParametersKeepTheirValues) {
  const RtModel bm3 = *isothermal::BM3::make(74.7, 160.3, 4.62);
  const auto rebuilt = RtModel::with_parameters(bm3, Names{"K0_prime"}, Values{3.5});
  ASSERT_TRUE(rebuilt.has_value());
  const auto* held = rebuilt->get_if<isothermal::BM3>();
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(held->v0, 74.7);
  EXPECT_EQ(held->k0, 160.3);
  EXPECT_EQ(held->k0_prime, 3.5);
}

// Holzapfel's c0 = -L, c2 = 1.5 (K0' - 3) + L with
// L = ln(3 K0 / (1003.6 (n Z / (10 V0))^(5/3))), for V0 = 16.5, K0 = 160,
// n = 1 and Z = 13: L = ln(480 / 1003.6) - (5/3) ln(13/165) = 3.497430816808076
// (python3, math.log).
TEST(RtModelWithParameters, HolzapfelDerivesItsCoefficientsFromTheNewZ) {
  const RtModel model = *isothermal::Holzapfel::make(16.5, 160.0, 4.6, 1.0, 26.0);
  const auto rebuilt = RtModel::with_parameters(model, Names{"Z"}, Values{13.0});
  ASSERT_TRUE(rebuilt.has_value());
  const auto* held = rebuilt->get_if<isothermal::Holzapfel>();
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(held->z, 13.0);
  const double l = 3.497430816808076;
  EXPECT_TRUE(relatively_near(held->c0, -l, 1e-14));
  EXPECT_TRUE(relatively_near(held->c2, 2.4 + l, 1e-14));
}

TEST(RtModelWithParameters, FirstOccurrenceOfARepeatedNameWins) {
  for (const IsothermalCase& c : isothermal_cases()) {
    const auto rebuilt =
        RtModel::with_parameters(c.model, Names{"V0", "K0", "V0"}, Values{10.0, 100.0, 20.0});
    ASSERT_TRUE(rebuilt.has_value()) << c.model.model_name();
    EXPECT_EQ(rebuilt->v0(), 10.0);
  }
}

// Invalid values fail with the constructor's own error, carried unchanged.
struct InvalidValueCase {
  RtModel model;
  Names names;
  Values values;
  EosError expected;
};

TEST(RtModelWithParameters, InvalidValuesFailWithTheModelError) {
  using namespace isothermal;
  const RtModel bm2 = *BM2::make(11.2, 160);
  const RtModel bm3 = *BM3::make(74.7, 160.3, 4.62);
  const RtModel baonza = *Baonza::make(20, 100, 4.5);
  const RtModel tait = *ModifiedTait::make(22.5, 130, 4.2, -0.033);
  const RtModel holzapfel = *Holzapfel::make(16.5, 160, 4.6, 1.0, 26.0);
  const std::string_view sun_morse = "Sun-Morse requires (n*K0_prime+1)/3 != 0";
  const std::vector<InvalidValueCase> cases{
      {bm2, {"V0", "K0"}, {10, 0}, bad_parameter("K0")},
      {bm2, {"V0"}, {-1}, bad_parameter("V0")},
      {bm2, {"K0", "V0"}, {0, nan}, bad_parameter("V0")},  // V0 is checked first, whatever the name order
      {bm3, {"K0_prime"}, {inf}, bad_parameter("K0_prime", phrase::finite)},
      {baonza, {"K0_prime"}, {0.0}, bad_parameter("K0_prime")},
      {*Morse3::make(20, 100, 4.7),
       {"K0_prime"},
       {1.0},
       bad_parameter("K0_prime", "Morse3 requires K0_prime != 1")},
      {*SunMorse3::make(20, 100, 4.4), {"K0_prime"}, {-1.0 / 3.0}, bad_parameter("K0_prime", sun_morse)},
      {*SunMorse4::make(20, 100, 4.4), {"K0_prime"}, {-0.25}, bad_parameter("K0_prime", sun_morse)},
      {tait,
       {"K0_prime"},
       {-1.0},
       bad_parameter("K0_prime/K0_double_prime", "produce a singular modified Tait EOS")},
      {tait, {"K0_double_prime"}, {nan}, bad_parameter("K0_double_prime", phrase::finite)},
      {*RydbergStacey::make(12, 150, 4.8, 2.9),
       {"K_infinity_prime"},
       {-inf},
       bad_parameter("K_infinity_prime", phrase::finite)},
      {holzapfel, {"n", "Z"}, {0.0, 0.0}, bad_parameter("n")},
      {holzapfel, {"Z"}, {-2.0}, bad_parameter("Z")},
  };
  for (const InvalidValueCase& c : cases) {
    EXPECT_TRUE(fails_with(RtModel::with_parameters(c.model, c.names, c.values), FitError::eos(c.expected)))
        << c.model.model_name() << " " << c.names[0];
  }
  // Zero K0' is valid outside Baonza; positive subnormal values pass.
  EXPECT_TRUE(RtModel::with_parameters(bm3, Names{"K0_prime"}, Values{0.0}).has_value());
  EXPECT_TRUE(RtModel::with_parameters(bm2, Names{"V0", "K0"}, Values{tiny, tiny}).has_value());
}

// A length mismatch hides everything; an unknown name hides invalid values,
// whichever comes first in the list.
TEST(RtModelWithParameters, ErrorPrecedence) {
  const RtModel bm3 = *isothermal::BM3::make(74.7, 160.3, 4.62);
  EXPECT_TRUE(fails_with(RtModel::with_parameters(bm3, Names{"V1", "K0"}, Values{1.0}), length_mismatch));
  EXPECT_TRUE(fails_with(RtModel::with_parameters(bm3, Names{}, Values{1.0}), length_mismatch));
  EXPECT_TRUE(fails_with(RtModel::with_parameters(bm3, Names{"K0", "V1"}, Values{-1.0, 1.0}),
                         unavailable_text("\"V1\"")));
  EXPECT_TRUE(fails_with(RtModel::with_parameters(bm3, Names{"X", "V1"}, Values{1.0, 1.0}),
                         unavailable_text("\"X\"")));
  EXPECT_TRUE(fails_with(RtModel::with_parameters(bm3, Names{"K0_double_prime"}, Values{0.0}),
                         unavailable_text("\"K0_double_prime\"")));
}

// Names are quoted with backslash escapes for quotes, backslashes and
// control characters.
TEST(NamedParameters, UnavailableNamesAreQuotedWithEscapes) {
  struct Case {
    std::string name, quoted;
  };
  const std::vector<Case> cases{
      {"V1", R"("V1")"},
      {"", R"("")"},
      {"a\"b", R"("a\"b")"},
      {"a\\b", R"("a\\b")"},
      {"a\nb\tc\rd", R"("a\nb\tc\rd")"},
      {std::string("a\0b", 3), R"("a\0b")"},
      {"\x01\x1f\x7f", R"("\u{1}\u{1f}\u{7f}")"},
      {"\xc2\x85", R"("\u{85}")"},
      {"\xce\xb8\xe2\x82\x80", "\"\xce\xb8\xe2\x82\x80\""},  // θ₀ is printable
      {"'", R"("'")"},
  };
  const RtModel bm2 = *isothermal::BM2::make(11.2, 160);
  for (const Case& c : cases) {
    EXPECT_EQ(native_fit::quoted(c.name), c.quoted);
    EXPECT_TRUE(
        fails_with(RtModel::with_parameters(bm2, Names{c.name}, Values{1.0}), unavailable_text(c.quoted)));
  }
}

}  // namespace
}  // namespace nivaltus
