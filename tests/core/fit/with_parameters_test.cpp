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

FitError unavailable(const std::string& quoted_name) {
  return FitError::invalid_input("parameter " + quoted_name + " is unavailable for the native EOS");
}
FitError unavailable_name(const std::string& name) { return unavailable("\"" + name + "\""); }
FitError eos(std::string_view field, std::string_view message = phrase::positive_finite) {
  return FitError::eos(bad_parameter(field, message));
}
const FitError length_mismatch =
    FitError::invalid_input("native EOS parameter names and values have different lengths");

bool contains(const Names& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The current value of every parameter of the model's table, in table order.
template <class AnyModel>
Values current_values(const AnyModel& model) {
  return std::visit(
      [](const auto& held) {
        const auto values = parameter_values(std::remove_cvref_t<decltype(held)>::parameter_table(), held);
        return Values(values.begin(), values.end());
      },
      model.variant());
}

// ---- isothermal kinds ------------------------------------------------------

// One model of each kind with the names it accepts, in table order, and new
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

TEST(RtModelWithParameters, EachKindAcceptsExactlyItsOwnNames) {
  // Every name of any kind, and names that no kind has.
  Names every_name{"V0", "K0", "K0_prime", "K0_double_prime", "K_infinity_prime", "n", "Z"};
  every_name.insert(every_name.end(), {"v0", "V0 ", " V0", "k0", "V1", "", "rt_eos.V0", "a", "Tr"});
  for (const IsothermalCase& c : isothermal_cases()) {
    SCOPED_TRACE(std::string(c.model.model_name()));
    for (const std::string& name : every_name) {
      const auto result = RtModel::with_parameters(c.model, Names{name}, Values{c.model.v0()});
      if (contains(c.accepted, name)) {
        // The V0 value is valid for every one of these parameters.
        EXPECT_TRUE(result.has_value()) << name << ": " << result.error();
      } else {
        EXPECT_TRUE(fails_with(result, unavailable_name(name))) << name;
      }
    }
  }
}

// The rebuilt model evaluates as the model its constructor builds from the
// new values, whatever the name order; unnamed parameters keep their values.
TEST(RtModelWithParameters, RebuiltModelMatchesTheConstructorsModel) {
  for (const IsothermalCase& c : isothermal_cases()) {
    const std::string kind(c.model.model_name());
    SCOPED_TRACE(kind);
    const double volume = 0.8 * c.model.v0();
    const auto direct = build_isothermal(kind, c.replacement);
    ASSERT_TRUE(direct.has_value());
    const auto rebuilt = RtModel::with_parameters(c.model, c.accepted, c.replacement);
    ASSERT_TRUE(rebuilt.has_value()) << rebuilt.error();
    EXPECT_EQ(rebuilt->kind(), c.model.kind());
    EXPECT_EQ(value_of(rebuilt->pressure(volume)), value_of(direct->pressure(volume)));
    EXPECT_EQ(value_of(rebuilt->bulk_modulus(volume)), value_of(direct->bulk_modulus(volume)));
    const auto reversed = RtModel::with_parameters(c.model, Names(c.accepted.rbegin(), c.accepted.rend()),
                                                   Values(c.replacement.rbegin(), c.replacement.rend()));
    ASSERT_TRUE(reversed.has_value());
    EXPECT_EQ(value_of(reversed->pressure(volume)), value_of(direct->pressure(volume)));

    const auto copy = RtModel::with_parameters(c.model, Names{}, Values{});
    ASSERT_TRUE(copy.has_value());
    EXPECT_EQ(value_of(copy->pressure(volume)), value_of(c.model.pressure(volume)));
    Values last_changed = current_values(c.model);
    last_changed.back() = c.replacement.back();
    const auto partial =
        RtModel::with_parameters(c.model, Names{c.accepted.back()}, Values{last_changed.back()});
    ASSERT_TRUE(partial.has_value());
    EXPECT_EQ(value_of(partial->pressure(volume)),
              value_of(build_isothermal(kind, last_changed)->pressure(volume)));
  }
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
  const double l = 3.497430816808076;
  EXPECT_TRUE(relatively_near(held->c0, -l, 1e-14));
  EXPECT_TRUE(relatively_near(held->c2, 2.4 + l, 1e-14));
}

// A length mismatch hides everything; an unknown name hides invalid values,
// whichever comes first in the list; invalid values fail with the
// constructor's own error, in the constructor's order.
TEST(RtModelWithParameters, ErrorsAndTheirPrecedence) {
  using namespace isothermal;
  struct Row {
    RtModel model;
    Names names;
    Values values;
    FitError expected;
  };
  const RtModel bm2 = *BM2::make(11.2, 160);
  const RtModel bm3 = *BM3::make(74.7, 160.3, 4.62);
  const std::vector<Row> rows{
      {bm3, {"V1", "K0"}, {1.0}, length_mismatch},
      {bm3, {}, {1.0}, length_mismatch},
      {bm3, {"K0", "V1"}, {-1.0, 1.0}, unavailable_name("V1")},
      {bm3, {"X", "V1"}, {1.0, 1.0}, unavailable_name("X")},
      {bm2, {"K0", "V0"}, {0, nan}, eos("V0")},
      {*Morse3::make(20, 100, 4.7), {"K0_prime"}, {1.0}, eos("K0_prime", "Morse3 requires K0_prime != 1")},
      {*ModifiedTait::make(22.5, 130, 4.2, -0.033),
       {"K0_prime"},
       {-1.0},
       eos("K0_prime/K0_double_prime", "produce a singular modified Tait EOS")},
      {*Holzapfel::make(16.5, 160, 4.6, 1.0, 26.0), {"Z", "n"}, {0.0, 0.0}, eos("n")},
  };
  for (const Row& row : rows) {
    EXPECT_TRUE(fails_with(RtModel::with_parameters(row.model, row.names, row.values), row.expected))
        << row.model.model_name() << " " << (row.names.empty() ? "" : row.names[0]);
  }
  for (const IsothermalCase& c : isothermal_cases()) {
    EXPECT_TRUE(fails_with(RtModel::with_parameters(c.model, Names{"K0"}, Values{-1.0}), eos("K0")))
        << c.model.model_name();
  }
  // Zero K0' and positive subnormal values pass.
  EXPECT_TRUE(RtModel::with_parameters(bm3, Names{"K0_prime"}, Values{0.0}).has_value());
  EXPECT_TRUE(RtModel::with_parameters(bm2, Names{"V0", "K0"}, Values{tiny, tiny}).has_value());
}

// Names are quoted with backslash escapes for quotes, backslashes and
// control characters.
TEST(NamedParameters, UnavailableNamesAreQuotedWithEscapes) {
  struct Case {
    std::string name, quoted;
  };
  const std::vector<Case> cases{
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
    EXPECT_TRUE(fails_with(RtModel::with_parameters(bm2, Names{c.name}, Values{1.0}), unavailable(c.quoted)));
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

TEST(ThermalModelWithParameters, EachVariantAcceptsExactlyItsOwnNames) {
  const auto cases = thermal_cases();
  Names every_name{"V0", "K0", "tr", "Tr ", "rt_eos", "rt_eos_V0", "RT_EOS.V0"};
  for (const ThermalCase& c : cases)
    every_name.insert(every_name.end(), c.accepted.begin(), c.accepted.end());
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
      if (contains(c.accepted, name)) continue;
      EXPECT_TRUE(fails_with(ThermalModel::with_parameters(c.model, Names{name}, Values{1.0}),
                             unavailable_name(name)))
          << name;
    }
    // The reference's names under the prefix; a prefixed name the reference
    // does not have is refused by the reference, without the prefix.
    const auto reference =
        ThermalModel::with_parameters(c.model, Names{"rt_eos.V0", "rt_eos.K0_prime"}, Values{11.0, 4.5});
    EXPECT_TRUE(reference.has_value()) << reference.error();
    EXPECT_TRUE(fails_with(ThermalModel::with_parameters(c.model, Names{"rt_eos."}, Values{1.0}),
                           unavailable_name("")));
    EXPECT_TRUE(fails_with(ThermalModel::with_parameters(c.model, Names{"rt_eos.Tr"}, Values{300.0}),
                           unavailable_name("Tr")));
  }
}

// Coefficients derived from the parameters follow the new values: the Tait
// reference's a = (1 + K0') / (1 + K0' + K0 K0''); Holland-Powell's
// dP_th/dT = alpha0 K0 at Tr; Einstein's Cvmax = 3 n R, where Debye keeps or
// takes a Cvmax.
TEST(ThermalModelWithParameters, DerivedCoefficientsFollowTheNewValues) {
  const auto cases = thermal_cases();
  const auto rebuilt = [&cases](std::size_t k, const Names& names, const Values& values) {
    return ThermalModel::with_parameters(cases[k].model, names, values).value();
  };
  const ThermalModel tait = rebuilt(10, {"rt_eos.K0_double_prime"}, {-0.04});  // K0 = 160, K0' = 4
  const auto* held_tait = tait.get_if<thermal::HollandPowellThermalPressure<isothermal::ModifiedTait>>();
  ASSERT_NE(held_tait, nullptr);
  EXPECT_TRUE(relatively_near(held_tait->reference.a, 5.0 / -1.4, 1e-15));

  const ThermalModel holland_powell = rebuilt(9, {"Tr", "rt_eos.K0"}, {500.0, 200.0});
  const auto* held = holland_powell.get_if<thermal::HollandPowellThermalPressure<RtModel>>();
  ASSERT_NE(held, nullptr);
  const double slope = derivative([&](double t) { return held->thermal_pressure(11.0, t); }, 500.0, 1e-4);
  EXPECT_TRUE(relatively_near(slope, 3e-5 * 200.0, 1e-8));

  const auto einstein = rebuilt(8, {"n"}, {3.0}).get_if<thermal::MieGruneisenEinstein>()->Cvmax;
  EXPECT_TRUE(relatively_near(einstein, 9.0 * 8.31446261815324, 1e-15));
  const auto debye = [&rebuilt](const Names& names, const Values& values) {
    return rebuilt(7, names, values).get_if<thermal::MieGruneisenDebye>()->Cvmax;
  };
  EXPECT_EQ(debye({"n"}, {3.0}), cases[7].model.get_if<thermal::MieGruneisenDebye>()->Cvmax);
  EXPECT_EQ(debye({"Cvmax"}, {40.0}), 40.0);
}

TEST(WithParameters, FirstOccurrenceOfARepeatedNameWins) {
  for (const IsothermalCase& c : isothermal_cases()) {
    const auto rebuilt =
        RtModel::with_parameters(c.model, Names{"V0", "K0", "V0"}, Values{10.0, 100.0, 20.0});
    ASSERT_TRUE(rebuilt.has_value()) << c.model.model_name();
    EXPECT_EQ(rebuilt->v0(), 10.0);
  }
  const auto rebuilt = ThermalModel::with_parameters(
      thermal_cases()[3].model, Names{"Tr", "rt_eos.V0", "Tr", "rt_eos.V0"}, Values{400.0, 12.0, -1.0, -1.0});
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

TEST(ThermalModelWithParameters, ErrorsAndTheirPrecedence) {
  struct Row {
    std::string label;
    ThermalModel model;
    Names names;
    Values values;
    FitError expected;
  };
  const auto cases = thermal_cases();
  const ThermalModel& linear = cases[3].model;
  const ThermalModel linear_law = cases[12].model;  // linear-temperature bulk-modulus law
  const ThermalModel cubic_law = reference_state(thermal_test::bm3_reference(),
                                                 thermal::BulkModulusLaw::reciprocal_cubic(1e-4, 0, 0), 0.0);
  const ThermalModel over_bm2 = reference_state(*isothermal::BM2::make(11.24, 160.0),
                                                thermal::BulkModulusLaw::linear_temperature(), -0.02);
  const FitError betas = FitError::eos(
      EosError::invalid_parameter("beta coefficients", "require reciprocal cubic compressibility"));
  const std::vector<Row> rows{
      {"length first", linear, {"bogus", "Tr"}, {1.0}, length_mismatch},
      {"length before betas", linear_law, {"beta2"}, {}, length_mismatch},
      {"betas before names", linear_law, {"bogus", "beta2"}, {1.0, 0.001}, betas},
      {"names before reference", linear, {"rt_eos.K0", "bogus"}, {-1.0, 1.0}, unavailable_name("bogus")},
      {"reference before thermal", linear, {"Tr", "rt_eos.K0"}, {-1.0, -1.0}, eos("K0")},
      {"taylor c3", cases[6].model, {"c3", "c5"}, {nan, nan}, eos("c3", phrase::finite)},
      {"dewaele gamma_inf", cases[1].model, {"gamma_inf"}, {2.0}, eos("gamma_inf", "must not exceed gamma0")},
      {"cubic dK_dT", cubic_law, {"dK_dT"}, {0.01}, eos("dK_dT", "must be zero with cubic compressibility")},
      {"cubic beta", cubic_law, {"beta2"}, {inf}, eos("compressibility coefficient", phrase::finite)},
      {"shift unsupported",
       over_bm2,
       {"kprime_log_coefficient"},
       {0.5},
       eos("kprime_log_coefficient", "reference EOS does not support a pressure-derivative shift")},
  };
  for (const Row& row : rows) {
    EXPECT_TRUE(fails_with(ThermalModel::with_parameters(row.model, row.names, row.values), row.expected))
        << row.label;
  }
  for (const ThermalCase& c : cases) {
    EXPECT_TRUE(fails_with(ThermalModel::with_parameters(c.model, Names{"Tr"}, Values{0.0}), eos("Tr")))
        << c.model.model_name();
  }
  // Accepted counterparts: a zero beta1 (the first of two), no shift, betas
  // with cubic compressibility.
  EXPECT_TRUE(
      ThermalModel::with_parameters(linear_law, Names{"beta1", "beta1"}, Values{0.0, 1.0}).has_value());
  EXPECT_TRUE(
      ThermalModel::with_parameters(over_bm2, Names{"kprime_log_coefficient"}, Values{0.0}).has_value());
  const auto cubic = ThermalModel::with_parameters(cubic_law, Names{"beta2", "beta3"}, Values{1e-6, 1e-8});
  ASSERT_TRUE(cubic.has_value()) << cubic.error();
  const auto& law = cubic->get_if<thermal::ThermalReferenceState>()->bulk_modulus_law;
  EXPECT_EQ((Values{law.beta1, law.beta2, law.beta3}), (Values{1e-4, 1e-6, 1e-8}));
}

}  // namespace
}  // namespace nivaltus
