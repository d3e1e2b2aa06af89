#include "core/thermal/thermal_quantity.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string_view>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/core/thermal/thermal_model_fixtures.hpp"
#include "tests/core/thermal/thermal_test_support.hpp"

namespace nivaltus::thermal_test {
namespace {

using thermal::QuantityUnavailable;
using thermal::thermal_evaluate;
using thermal::ThermalQuantityResult;

std::vector<ThermalModel> all_models() {
  return std::apply([](const auto&... model) { return std::vector<ThermalModel>{ThermalModel(model)...}; },
                    all_thermal_models());
}

bool unavailable(const ThermalQuantityResult& result) {
  return !result && std::holds_alternative<QuantityUnavailable>(result.error());
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

TEST(ThermalQuantityVocabulary, NamesMatchExactBytesOnly) {
  const ThermalModel model = all_models()[7];
  for (std::string_view name : {"Volume", "volume ", " volume", "", "vol", "PRESSURE"}) {
    EXPECT_TRUE(unavailable(thermal_evaluate(model, name, 10.5, 1500.0))) << name;
  }
  EXPECT_TRUE(unavailable(thermal_evaluate(model, std::string_view("volume\0x", 8), 20.0, 1500.0)));
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

TEST(ThermalQuantityDispatch, PressureIsTheModelsTotalPressureBitForBit) {
  for (const ThermalModel& model : all_models()) {
    for (auto [v, t] :
         {std::pair{10.5, 1500.0}, std::pair{11.8, 250.0}, std::pair{-1.0, 1500.0}, std::pair{10.5, nan}}) {
      const EosResult<double> direct = model.pressure(v, t);
      const EosResult<double> by_name = as_eos(thermal_evaluate(model, "pressure", v, t));
      EXPECT_EQ(direct, by_name) << model.model_name() << " at " << v << ", " << t;
    }
  }
}

// "volume" takes (P, T) and "temperature" takes (P, V): both invert "pressure".
TEST(ThermalQuantityDispatch, VolumeAndTemperatureInvertPressure) {
  for (const ThermalModel& model : all_models()) {
    SCOPED_TRACE(model.model_name());
    const double p = value(model, "pressure", 10.5, 1500.0);
    EXPECT_TRUE(relatively_near(value(model, "volume", p, 1500.0), 10.5, 1e-7));
    EXPECT_TRUE(relatively_near(value(model, "temperature", p, 10.5), 1500.0, 1e-6));
  }
}

TEST(ThermalQuantityDispatch, ThermalPressureIncrementIsMeasuredFromTr) {
  for (const ThermalModel& model : all_models()) {
    SCOPED_TRACE(model.model_name());
    const double tr = std::visit([](const auto& m) { return m.reference_temperature(); }, model.variant());
    EXPECT_NEAR(value(model, "thermal_pressure_increment", 10.5, tr), 0.0, 1e-12);
  }
  // Holland-Powell's thermal pressure is already measured from Tr.
  const ThermalModel hp = all_models()[9];
  EXPECT_EQ(value(hp, "thermal_pressure_increment", 10.5, 1500.0),
            value(hp, "thermal_pressure", 10.5, 1500.0));
  // The Taylor law does not vanish at Tr, its increment does.
  const ThermalModel taylor = all_models()[6];
  EXPECT_NE(value(taylor, "thermal_pressure", 10.5, 300.0), 0.0);
}

// ---- closed forms ----------------------------------------------------------

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
  EXPECT_TRUE(
      fails_with(as_eos(thermal_evaluate(model, "thermal_entropy", 0.0, 1500.0)), bad_state("volume")));
}

// ---- threads ---------------------------------------------------------------

TEST(ThermalQuantityThreads, ConcurrentEvaluationMatchesSerial) {
  const std::vector<ThermalModel> models = all_models();
  std::vector<double> serial;
  for (const ThermalModel& model : models) serial.push_back(value(model, "bulk_modulus", 10.5, 1500.0));
  std::vector<std::thread> threads;
  std::array<std::vector<double>, 4> results;
  for (auto& result : results) {
    threads.emplace_back([&models, &result] {
      for (const ThermalModel& model : models) {
        const ThermalQuantityResult r = thermal_evaluate(model, "bulk_modulus", 10.5, 1500.0);
        result.push_back(r ? *r : nan);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (const auto& result : results) EXPECT_EQ(result, serial);
}

}  // namespace
}  // namespace nivaltus::thermal_test
