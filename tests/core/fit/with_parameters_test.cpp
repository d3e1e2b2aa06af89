// Rebuilding run-time models from named parameter values: accepted names,
// errors in their order, and the model the constructor builds from the values.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "core/fit/named_parameters.hpp"
#include "core/rt_model.hpp"
#include "core/thermal/thermal_model.hpp"
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

// Kinds of two, four and five parameters (one rebuild template for all).
const struct {
  std::string kind;
  Names accepted;
  Values current, replacement;
} isothermal_cases[] = {
    {"BM2", {"V0", "K0"}, {11.2, 160}, {12, 150}},
    {"ModifiedTait",
     {"V0", "K0", "K0_prime", "K0_double_prime"},
     {22, 130, 4.2, -0.033},
     {23, 140, 4, -0.03}},
    {"Holzapfel", {"V0", "K0", "K0_prime", "n", "Z"}, {16.5, 160, 4.6, 1.0, 26.0}, {17, 170, 4.2, 2.0, 13.0}},
};

// Each kind accepts exactly its own names; the rebuilt model evaluates as the
// constructor's (derived coefficients included) whatever the name order; the
// first of a repeated name wins; invalid values fail in the constructor's order.
TEST(RtModelWithParameters, AcceptsItsOwnNamesAndRebuildsThroughTheConstructor) {
  const Names every_name{"V0", "K0", "K0_prime", "K0_double_prime", "K_infinity_prime",
                         "n",  "Z",  "v0",       "rt_eos.V0",       "Tr"};
  for (const auto& c : isothermal_cases) {
    SCOPED_TRACE(c.kind);
    const RtModel model = *build_isothermal(c.kind, c.current);
    const Names& accepted = c.accepted;
    for (const std::string& name : every_name) {
      const auto result = RtModel::with_parameters(model, Names{name}, Values{model.v0()});
      EXPECT_TRUE(contains(accepted, name) ? result.has_value() : fails_with(result, unavailable_name(name)))
          << name;
    }
    const double volume = 0.8 * c.current[0];
    const auto pressure = [volume](const auto& rebuilt) { return value_of(rebuilt->pressure(volume)); };
    const auto reversed = RtModel::with_parameters(model, Names(accepted.rbegin(), accepted.rend()),
                                                   Values(c.replacement.rbegin(), c.replacement.rend()));
    EXPECT_EQ(pressure(reversed), pressure(build_isothermal(c.kind, c.replacement)));
  }
  const RtModel bm2 = *isothermal::BM2::make(11.2, 160);
  EXPECT_EQ(RtModel::with_parameters(bm2, Names{"V0", "K0", "V0"}, Values{10.0, 100.0, 20.0})->v0(), 10.0);
  EXPECT_TRUE(fails_with(RtModel::with_parameters(bm2, Names{"K0", "V0"}, Values{0, nan}), eos("V0")));
}

// The thirteen thermal models of the fixtures, in Kind order.
std::vector<ThermalModel> thermal_models() {
  return std::apply([](const auto&... model) { return std::vector<ThermalModel>{ThermalModel(model)...}; },
                    thermal_test::all_thermal_models());
}

// The names and current values of a model's own parameters, in table order.
std::pair<Names, Values> table_of(const ThermalModel& model) {
  return std::visit(
      [](const auto& held) {
        const auto table = std::remove_cvref_t<decltype(held)>::parameter_table();
        std::pair<Names, Values> named;
        for (const auto& parameter : table) named.first.emplace_back(parameter.name);
        for (const double value : parameter_values(table, held)) named.second.push_back(value);
        return named;
      },
      model.variant());
}

// All its names at their current values give the same model; other names are
// refused, a prefixed one the reference does not have without the prefix.
TEST(ThermalModelWithParameters, EachVariantAcceptsExactlyItsOwnNames) {
  const auto models = thermal_models();
  const Names every_name{"V0",       "tr",   "rt_eos", "RT_EOS.V0", "Tr",  "theta0",
                         "alpha_KT", "eta0", "Cvmax",  "beta2",     "QBo", "n"};
  for (const ThermalModel& model : models) {
    SCOPED_TRACE(std::string(model.model_name()));
    const auto [accepted, current] = table_of(model);
    const auto same = ThermalModel::with_parameters(model, accepted, current);
    ASSERT_TRUE(same.has_value()) << same.error();
    EXPECT_EQ(value_of(same->pressure(10.5, 1500.0)), value_of(model.pressure(10.5, 1500.0)));
    for (const std::string& name : every_name) {
      if (contains(accepted, name)) continue;
      EXPECT_TRUE(
          fails_with(ThermalModel::with_parameters(model, Names{name}, Values{1.0}), unavailable_name(name)))
          << name;
    }
    EXPECT_TRUE(fails_with(ThermalModel::with_parameters(model, Names{"rt_eos.Tr"}, Values{300.0}),
                           unavailable_name("Tr")));
  }
}

// The names a fit of each variant accepts, written out as users write them,
// in Kind order and in the order the values are passed on.
TEST(ThermalModelWithParameters, NamesAreTheOnesUsersWrite) {
  const Names expected[] = {
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
  const auto models = thermal_models();
  ASSERT_EQ(models.size(), std::size(expected));
  for (std::size_t k = 0; k < models.size(); ++k) {
    EXPECT_EQ(table_of(models[k]).first, expected[k]) << models[k].model_name();
  }
}

// Einstein's Cvmax = 3 n R follows the new n; Debye takes the given Cvmax.
TEST(ThermalModelWithParameters, DerivedCoefficientsFollowTheNewValues) {
  const auto models = thermal_models();
  const auto rebuilt = [&models](std::size_t k, const Names& names, const Values& values) {
    return ThermalModel::with_parameters(models[k], names, values).value();
  };
  const auto einstein = rebuilt(8, {"n"}, {3.0}).get_if<thermal::MieGruneisenEinstein>()->Cvmax;
  EXPECT_TRUE(relatively_near(einstein, 9.0 * 8.31446261815324, 1e-15));
  const auto debye = rebuilt(7, {"n", "Cvmax"}, {3.0, 40.0}).get_if<thermal::MieGruneisenDebye>()->Cvmax;
  EXPECT_EQ(debye, 40.0);
}

// Lengths, betas, names, the reference's values, then the thermal ones;
// names are quoted with escapes for quotes, backslashes and control characters.
TEST(ThermalModelWithParameters, ErrorsAndTheirPrecedence) {
  const auto models = thermal_models();
  const ThermalModel& linear = models[3];
  const ThermalModel& linear_law = models[12];  // linear-temperature bulk-modulus law
  const FitError betas = FitError::eos(
      EosError::invalid_parameter("beta coefficients", "require reciprocal cubic compressibility"));
  const std::tuple<ThermalModel, Names, Values, FitError> rows[] = {
      {linear_law, {"beta2"}, {}, length_mismatch},
      {linear_law, {"bogus", "beta2"}, {1.0, 0.001}, betas},
      {linear, {"rt_eos.K0", "bogus"}, {-1.0, 1.0}, unavailable_name("bogus")},
      {linear, {"Tr", "rt_eos.K0"}, {-1.0, -1.0}, eos("K0")},
      {linear, {"Tr"}, {-1.0}, eos("Tr")},
      {linear,
       {std::string("a\"b\\c\n\0\x01\x7f\xc2\x85\xce\xb8\xe2\x82\x80", 16)},  // θ₀ is printable
       {1.0},
       unavailable("\"a\\\"b\\\\c\\n\\0\\u{1}\\u{7f}\\u{85}\xce\xb8\xe2\x82\x80\"")},
  };
  for (const auto& [model, names, values, expected] : rows) {
    EXPECT_TRUE(fails_with(ThermalModel::with_parameters(model, names, values), expected)) << names[0];
  }
  // Accepted: a zero beta1 (the first of two); betas under cubic compressibility.
  EXPECT_TRUE(
      ThermalModel::with_parameters(linear_law, Names{"beta1", "beta1"}, Values{0.0, 1.0}).has_value());
  const auto no_dK_dT = *thermal::ThermalReferenceState::make(
      thermal_test::bm3_reference(), 300.0, 3e-5, 0.0, 0.0, thermal::ThermalExpansionLaw::constant,
      thermal::ReferenceVolumeLaw::integrated_expansivity);
  const ThermalModel cubic_law = *thermal::ThermalReferenceState::with_temperature_laws(
      no_dK_dT, thermal::BulkModulusLaw::reciprocal_cubic(1e-4, 0, 0), 0.0);
  const auto cubic = ThermalModel::with_parameters(cubic_law, Names{"beta2", "beta3"}, Values{1e-6, 1e-8});
  ASSERT_TRUE(cubic.has_value()) << cubic.error();
  const auto& law = cubic->get_if<thermal::ThermalReferenceState>()->bulk_modulus_law;
  EXPECT_EQ((Values{law.beta1, law.beta2, law.beta3}), (Values{1e-4, 1e-6, 1e-8}));
}

}  // namespace
}  // namespace nivaltus
