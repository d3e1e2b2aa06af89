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
#include "core/thermal/thermal_model.hpp"
#include "tests/core/test_support.hpp"
#include "tests/core/thermal/thermal_model_fixtures.hpp"

namespace nivaltus {
namespace {

using namespace test;
using fit::FitError;
using Names = std::vector<std::string>;
using Values = std::vector<double>;

template <class Model>
::testing::AssertionResult fails_with(const fit::FitResult<Model>& result, const FitError& expected) {
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

// ---- thermal variants -----------------------------------------------------

// The thirteen models of the fixtures (all over the BM3 reference, the Tait
// variant over ModifiedTait) with the thermal names each accepts.
struct ThermalCase {
  ThermalModel model;
  Names accepted;
};

std::vector<ThermalCase> thermal_cases() {
  const std::vector<Names> rows{
      {"Tr", "theta0", "gamma0", "a", "b", "n"},
      {"Tr", "theta0", "gamma0", "gamma_inf", "beta", "anharmonic_a", "anharmonic_m", "electronic_e",
       "electronic_g", "n"},
      {"Tr",           "theta_B1",     "d_B1",         "m_B1",         "theta_B2", "d_B2",      "m_B2",
       "theta_E1",     "m_E1",         "theta_E2",     "m_E2",         "gamma0",   "gamma_inf", "beta",
       "anharmonic_a", "anharmonic_m", "electronic_e", "electronic_g", "defect_H", "defect_S",  "n"},
      {"Tr", "alpha_KT"},
      {"Tr", "theta0", "gamma0", "q", "n", "A", "m"},
      {"Tr", "alpha_KT_ref", "dK_dT_V"},
      {"Tr", "eta0", "c0", "c1", "c2", "c3", "c4", "c5"},
      {"Tr", "theta0", "gamma0", "q", "n", "Cvmax"},
      {"Tr", "theta0", "gamma0", "q", "n"},
      {"Tr", "theta", "alpha0", "n"},
      {"Tr", "theta", "alpha0", "n"},
      {"Tr", "QE1o", "mE1", "QE2o", "mE2", "delta", "t", "a_0", "m", "g", "e_0", "beta", "QBo", "d", "mb",
       "QB1o", "d1", "mb1", "n"},
      {"Tr", "alpha0", "dK_dT", "alpha1", "beta1", "beta2", "beta3", "kprime_log_coefficient"},
  };
  std::vector<ThermalModel> models;
  std::apply([&models](const auto&... model) { (models.emplace_back(model), ...); },
             thermal_test::all_thermal_models());
  std::vector<ThermalCase> cases;
  for (std::size_t k = 0; k < models.size(); ++k) cases.push_back({models[k], rows.at(k)});
  return cases;
}

// The current value of every accepted name, through the model's own table.
Values current_values(const ThermalModel& model) {
  return std::visit(
      [](const auto& held) {
        using Model = std::remove_cvref_t<decltype(held)>;
        const auto values = parameter_values(Model::parameter_table(), held);
        return Values(values.begin(), values.end());
      },
      model.variant());
}

TEST(ThermalModelWithParameters, EachVariantAcceptsExactlyItsOwnNames) {
  const auto cases = thermal_cases();
  Names every_name;
  for (const ThermalCase& c : cases) {
    every_name.insert(every_name.end(), c.accepted.begin(), c.accepted.end());
  }
  for (const ThermalCase& c : cases) {
    SCOPED_TRACE(std::string(c.model.model_name()));
    // Every accepted name at once, at its current value: the same model.
    const Values current = current_values(c.model);
    ASSERT_EQ(current.size(), c.accepted.size());
    const auto same = ThermalModel::with_parameters(c.model, c.accepted, current);
    ASSERT_TRUE(same.has_value()) << same.error();
    EXPECT_EQ(same->kind(), c.model.kind());
    EXPECT_EQ(value_of(same->pressure(10.5, 1500.0)), value_of(c.model.pressure(10.5, 1500.0)));
    for (const std::string& name : every_name) {
      if (std::find(c.accepted.begin(), c.accepted.end(), name) != c.accepted.end()) continue;
      EXPECT_TRUE(fails_with(ThermalModel::with_parameters(c.model, Names{name}, Values{1.0}),
                             unavailable_text("\"" + name + "\"")))
          << name;
    }
    for (const std::string name : {"V0", "K0", "tr", "Tr ", "rt_eos", "rt_eos_V0", "RT_EOS.V0"}) {
      EXPECT_TRUE(fails_with(ThermalModel::with_parameters(c.model, Names{name}, Values{1.0}),
                             unavailable_text("\"" + name + "\"")))
          << name;
    }
    // The reference's names under the prefix; a prefixed name the reference
    // does not have is refused by the reference, without the prefix.
    const auto reference =
        ThermalModel::with_parameters(c.model, Names{"rt_eos.V0", "rt_eos.K0_prime"}, Values{11.0, 4.5});
    EXPECT_TRUE(reference.has_value()) << reference.error();
    EXPECT_TRUE(fails_with(ThermalModel::with_parameters(c.model, Names{"rt_eos."}, Values{1.0}),
                           unavailable_text(R"("")")));
    EXPECT_TRUE(fails_with(ThermalModel::with_parameters(c.model, Names{"rt_eos.Tr"}, Values{300.0}),
                           unavailable_text(R"("Tr")")));
  }
}

TEST(ThermalModelWithParameters, ReferenceNamesFollowTheReferenceKind) {
  const auto cases = thermal_cases();
  const ThermalModel& bm3_based = cases[3].model;  // LinearThermalPressure over BM3
  EXPECT_TRUE(
      fails_with(ThermalModel::with_parameters(bm3_based, Names{"rt_eos.K0_double_prime"}, Values{0.0}),
                 unavailable_text(R"("K0_double_prime")")));
  const ThermalModel& tait = cases[10].model;  // ThermalModifiedTait
  const auto rebuilt = ThermalModel::with_parameters(tait, Names{"rt_eos.K0_double_prime"}, Values{-0.04});
  ASSERT_TRUE(rebuilt.has_value()) << rebuilt.error();
  const auto* held = rebuilt->get_if<thermal::HollandPowellThermalPressure<isothermal::ModifiedTait>>();
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(held->reference.k0_double_prime, -0.04);
  // a = (1 + K0') / (1 + K0' + K0 K0'') = 5 / (5 - 6.4) recomputed.
  EXPECT_TRUE(relatively_near(held->reference.a, 5.0 / -1.4, 1e-15));
}

// Holland-Powell: dP_th/dT at Tr is alpha0 K0, so a new reference K0 and a
// new Tr show in the slope of the thermal pressure at the new Tr.
TEST(ThermalModelWithParameters, HollandPowellCoefficientFollowsTheNewReference) {
  const ThermalModel model = thermal_cases()[9].model;
  const auto rebuilt = ThermalModel::with_parameters(model, Names{"Tr", "rt_eos.K0"}, Values{500.0, 200.0});
  ASSERT_TRUE(rebuilt.has_value()) << rebuilt.error();
  const auto* held = rebuilt->get_if<thermal::HollandPowellThermalPressure<RtModel>>();
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(held->Tr, 500.0);
  EXPECT_EQ(held->reference.k0(), 200.0);
  const double slope = derivative([&](double t) { return held->thermal_pressure(11.0, t); }, 500.0, 1e-4);
  EXPECT_TRUE(relatively_near(slope, 3e-5 * 200.0, 1e-8));
}

// Einstein: Cvmax = 3 n R of the new n; Debye keeps or takes a Cvmax.
TEST(ThermalModelWithParameters, MieGruneisenHeatCapacityLimit) {
  const auto cases = thermal_cases();
  const auto einstein = ThermalModel::with_parameters(cases[8].model, Names{"n"}, Values{3.0});
  ASSERT_TRUE(einstein.has_value());
  const double gas_constant = 8.31446261815324;
  EXPECT_TRUE(
      relatively_near(einstein->get_if<thermal::MieGruneisenEinstein>()->Cvmax, 9.0 * gas_constant, 1e-15));
  const ThermalModel& debye = cases[7].model;
  const double kept = debye.get_if<thermal::MieGruneisenDebye>()->Cvmax;
  const auto new_n = ThermalModel::with_parameters(debye, Names{"n"}, Values{3.0});
  ASSERT_TRUE(new_n.has_value());
  EXPECT_EQ(new_n->get_if<thermal::MieGruneisenDebye>()->Cvmax, kept);
  const auto new_cvmax = ThermalModel::with_parameters(debye, Names{"Cvmax"}, Values{40.0});
  ASSERT_TRUE(new_cvmax.has_value());
  EXPECT_EQ(new_cvmax->get_if<thermal::MieGruneisenDebye>()->Cvmax, 40.0);
}

TEST(ThermalModelWithParameters, FirstOccurrenceWinsForThermalAndReferenceNames) {
  const ThermalModel model = thermal_cases()[3].model;  // LinearThermalPressure
  const auto rebuilt = ThermalModel::with_parameters(model, Names{"Tr", "rt_eos.V0", "Tr", "rt_eos.V0"},
                                                     Values{400.0, 12.0, -1.0, -1.0});
  ASSERT_TRUE(rebuilt.has_value()) << rebuilt.error();
  const auto* held = rebuilt->get_if<thermal::LinearThermalPressure>();
  EXPECT_EQ(held->Tr, 400.0);
  EXPECT_EQ(held->reference.v0(), 12.0);
}

thermal::ThermalReferenceState reference_state(const RtModel& reference, thermal::BulkModulusLaw law,
                                               double dK_dT) {
  const auto state = *thermal::ThermalReferenceState::make(
      reference, 300.0, 3e-5, dK_dT, 0.0, thermal::ThermalExpansionLaw::constant,
      thermal::ReferenceVolumeLaw::integrated_expansivity);
  return *thermal::ThermalReferenceState::with_temperature_laws(state, law, 0.0);
}

// One row per error: the model, the names and values, the error.
struct ThermalErrorCase {
  std::string label;
  ThermalModel model;
  Names names;
  Values values;
  FitError expected;
};

TEST(ThermalModelWithParameters, ErrorsAndTheirPrecedence) {
  const auto cases = thermal_cases();
  const ThermalModel& linear = cases[3].model;
  const ThermalModel& taylor = cases[6].model;
  const ThermalModel& einstein = cases[8].model;
  const ThermalModel& debye = cases[7].model;
  const ThermalModel& dewaele = cases[1].model;
  const ThermalModel linear_law = cases[12].model;  // linear-temperature bulk-modulus law
  const ThermalModel cubic_law = reference_state(thermal_test::bm3_reference(),
                                                 thermal::BulkModulusLaw::reciprocal_cubic(1e-4, 0, 0), 0.0);
  const ThermalModel over_bm2 = reference_state(*isothermal::BM2::make(11.24, 160.0),
                                                thermal::BulkModulusLaw::linear_temperature(), -0.02);
  const FitError betas = FitError::eos(
      EosError::invalid_parameter("beta coefficients", "require reciprocal cubic compressibility"));
  const auto eos = [](std::string_view field, std::string_view message = phrase::positive_finite) {
    return FitError::eos(EosError::invalid_parameter(field, message));
  };
  const std::vector<ThermalErrorCase> rows{
      {"length first", linear, {"bogus", "Tr"}, {1.0}, length_mismatch},
      {"length before betas", linear_law, {"beta2"}, {}, length_mismatch},
      {"betas before names", linear_law, {"bogus", "beta2"}, {1.0, 0.001}, betas},
      {"NaN beta", linear_law, {"beta3"}, {nan}, betas},
      {"first beta counts", linear_law, {"beta1", "beta1"}, {0.0, 1.0}, unavailable_text(R"("never")")},
      {"names before reference", linear, {"rt_eos.K0", "bogus"}, {-1.0, 1.0}, unavailable_text(R"("bogus")")},
      {"reference before thermal", linear, {"Tr", "rt_eos.K0"}, {-1.0, -1.0}, eos("K0")},
      {"linear Tr", linear, {"Tr"}, {0.0}, eos("Tr")},
      {"linear alpha_KT", linear, {"alpha_KT"}, {inf}, eos("alpha_KT", phrase::finite)},
      {"taylor c3", taylor, {"c3", "c5"}, {nan, nan}, eos("c3", phrase::finite)},
      {"einstein Cvmax", einstein, {"Cvmax"}, {40.0}, unavailable_text(R"("Cvmax")")},
      {"einstein n", einstein, {"n"}, {0.0}, eos("n")},
      {"debye Cvmax", debye, {"Cvmax"}, {0.0}, eos("Cvmax")},
      {"dewaele gamma_inf", dewaele, {"gamma_inf"}, {2.0}, eos("gamma_inf", "must not exceed gamma0")},
      {"cubic dK_dT", cubic_law, {"dK_dT"}, {0.01}, eos("dK_dT", "must be zero with cubic compressibility")},
      {"cubic beta", cubic_law, {"beta2"}, {inf}, eos("compressibility coefficient", phrase::finite)},
      {"kprime coefficient",
       linear_law,
       {"kprime_log_coefficient"},
       {nan},
       eos("kprime_log_coefficient", phrase::finite)},
      {"shift unsupported",
       over_bm2,
       {"kprime_log_coefficient"},
       {0.5},
       eos("kprime_log_coefficient", "reference EOS does not support a pressure-derivative shift")},
  };
  for (ThermalErrorCase row : rows) {
    if (row.label == "first beta counts") {
      // The first beta1 is zero: the later 1.0 is ignored and the model builds.
      EXPECT_TRUE(ThermalModel::with_parameters(row.model, row.names, row.values).has_value());
      continue;
    }
    EXPECT_TRUE(fails_with(ThermalModel::with_parameters(row.model, row.names, row.values), row.expected))
        << row.label;
  }
  // Accepted counterparts of the rows above.
  EXPECT_TRUE(ThermalModel::with_parameters(linear_law, Names{"beta1"}, Values{0.0}).has_value());
  EXPECT_TRUE(
      ThermalModel::with_parameters(over_bm2, Names{"kprime_log_coefficient"}, Values{0.0}).has_value());
  const auto cubic = ThermalModel::with_parameters(cubic_law, Names{"beta2", "beta3"}, Values{1e-6, 1e-8});
  ASSERT_TRUE(cubic.has_value()) << cubic.error();
  const auto& law = cubic->get_if<thermal::ThermalReferenceState>()->bulk_modulus_law;
  EXPECT_EQ(law.beta1, 1e-4);
  EXPECT_EQ(law.beta2, 1e-6);
  EXPECT_EQ(law.beta3, 1e-8);
}

}  // namespace
}  // namespace nivaltus
