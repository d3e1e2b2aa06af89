#include "core/thermal/thermal_quantity.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string_view>
#include <tuple>
#include <vector>

#include "tests/core/thermal/thermal_model_fixtures.hpp"
#include "tests/core/thermal/thermal_test_support.hpp"

namespace nivaltus::thermal_test {
namespace {

using thermal::thermal_evaluate;
using thermal::ThermalQuantityResult;

std::vector<ThermalModel> all_models() {
  return std::apply([](const auto&... model) { return std::vector<ThermalModel>{ThermalModel(model)...}; },
                    all_thermal_models());
}

EosResult<double> as_eos(const ThermalQuantityResult& result) {
  if (result) return *result;
  if (const auto* error = std::get_if<EosError>(&result.error())) return std::unexpected(*error);
  ADD_FAILURE() << "quantity unexpectedly unavailable";
  return std::unexpected(EosError::non_finite_result());
}

double value(const ThermalModel& model, std::string_view name, double first, double second) {
  return value_of(as_eos(thermal_evaluate(model, name, first, second)));
}

TEST(ThermalQuantityVocabulary, AliasesGiveIdenticalValues) {
  for (const ThermalModel& model : all_models()) {
    for (auto [alias, name] : {std::pair{"thermal_internal_energy", "thermal_energy"},
                               std::pair{"heat_capacity_v", "molar_heat_capacity_v"},
                               std::pair{"heat_capacity_p", "molar_heat_capacity_p"}}) {
      const ThermalQuantityResult a = thermal_evaluate(model, alias, 10.5, 1500.0);
      const ThermalQuantityResult b = thermal_evaluate(model, name, 10.5, 1500.0);
      ASSERT_EQ(a.has_value(), b.has_value()) << model.model_name() << " " << alias;
      if (a) {
        EXPECT_EQ(*a, *b) << model.model_name() << " " << alias;
      }
    }
  }
}

// "pressure" is the total pressure; "volume" takes (P, T) and "temperature"
// takes (P, V), and both invert it.
TEST(ThermalQuantityDispatch, PressureAndItsInversions) {
  for (const ThermalModel& model : all_models()) {
    SCOPED_TRACE(model.model_name());
    EXPECT_EQ(as_eos(thermal_evaluate(model, "pressure", 10.5, nan)), model.pressure(10.5, nan));
    const double p = value(model, "pressure", 10.5, 1500.0);
    EXPECT_EQ(p, model.pressure(10.5, 1500.0));
    EXPECT_TRUE(relatively_near(value(model, "volume", p, 1500.0), 10.5, 1e-7));
    EXPECT_TRUE(relatively_near(value(model, "temperature", p, 10.5), 1500.0, 1e-6));
  }
}

// d ln(theta) / d ln(V) = -gamma for the Dewaele closed forms.
TEST(ThermalQuantityClosedForms, DewaeleCharacteristicTemperatureIntegratesGamma) {
  const ThermalModel dewaele = all_models()[1];
  EXPECT_EQ(value(dewaele, "characteristic_temperature", 11.24, 1500.0), 800.0);
  for (double v : {8.0, 10.5, 12.0}) {
    const auto ln_theta = [&](double ln_v) -> EosResult<double> {
      return std::log(value(dewaele, "characteristic_temperature", std::exp(ln_v), 1500.0));
    };
    EXPECT_TRUE(relatively_near(-derivative(ln_theta, std::log(v)),
                                value(dewaele, "gruneisen_parameter", v, 1.0), 1e-8));
  }
}

// S = (E - F)/T and Cv = dE/dT tie the four thermodynamic terms to their names.
TEST(ThermalQuantityDispatch, DorogokupetsOganovTermsReachTheirNames) {
  const ThermalModel model = all_models()[2];
  const double f = value(model, "thermal_helmholtz_free_energy", 10.5, 1500.0);
  const double e = value(model, "thermal_energy", 10.5, 1500.0);
  EXPECT_TRUE(relatively_near(value(model, "thermal_entropy", 10.5, 1500.0), (e - f) / 1500.0, 1e-12));
  const auto energy = [&](double t) { return as_eos(thermal_evaluate(model, "thermal_energy", 10.5, t)); };
  EXPECT_TRUE(
      relatively_near(value(model, "molar_heat_capacity_v", 10.5, 1500.0), derivative(energy, 1500.0), 1e-7));
}

}  // namespace
}  // namespace nivaltus::thermal_test
