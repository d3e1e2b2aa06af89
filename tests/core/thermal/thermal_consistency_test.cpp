// Thermodynamic consistency of every thermal model of this file's families,
// through one set of helpers: derivatives are taken here by five-point
// differences of the model's own thermal pressure, energy and free energy,
// independently of the model's default bodies.

#include <gtest/gtest.h>

#include <cmath>

#include "core/isothermal/modified_tait.hpp"
#include "core/thermal/asymptotic_power_law.hpp"
#include "core/thermal/debye_quadratic.hpp"
#include "core/thermal/holland_powell.hpp"
#include "core/thermal/mie_gruneisen.hpp"
#include "core/thermal/simple_thermal_pressure.hpp"
#include "tests/core/thermal/thermal_test_support.hpp"

namespace nivaltus::thermal {
namespace {

using thermal_test::bm3_reference;
using thermal_test::derivative;
using thermal_test::relatively_near;
using thermal_test::value_of;

constexpr double states[][2] = {{10.5, 1500.0}, {11.8, 700.0}, {9.6, 2500.0}};

// K_T = K_ref - V dP_th/dV and alpha K_T = (dP_th/dT)_V, against the default
// bodies; the volume and temperature inversions and the confined volume give
// back the state they were computed from.
template <class Model>
void expect_mechanically_consistent(const Model& model) {
  for (const auto& [v, t] : states) {
    SCOPED_TRACE(::testing::Message() << "V = " << v << ", T = " << t);
    const auto pth_of_v = [&](double x) { return model.thermal_pressure(x, t); };
    const auto pth_of_t = [&](double x) { return model.thermal_pressure(v, x); };
    const double k_t = value_of(model.bulk_modulus(v, t, 1e-6));
    const double expected_k = value_of(model.reference.bulk_modulus(v)) - v * derivative(pth_of_v, v);
    EXPECT_TRUE(relatively_near(k_t, expected_k, 1e-6));
    const double alpha = value_of(model.thermal_expansivity(v, t, 1e-5));
    EXPECT_TRUE(relatively_near(alpha * k_t, derivative(pth_of_t, t), 1e-6));
    EXPECT_EQ(value_of(model.isothermal_compressibility(v, t)), 1.0 / k_t);

    const double p = value_of(model.pressure(v, t));
    EXPECT_TRUE(relatively_near(value_of(model.volume(p, t)), v, 1e-10));
    EXPECT_TRUE(relatively_near(value_of(model.temperature(p, v)), t, 1e-8));

    const double f_dac = 0.3;
    const double cold = p - f_dac * value_of(model.thermal_pressure_increment(v, t));
    EXPECT_TRUE(relatively_near(value_of(model.volume_with_dac_confinement(cold, t, f_dac)), v, 1e-10));
  }
}

// gamma = 10000 alpha K_T V / Cv, Cp = Cv (1 + alpha gamma T) and
// K_S = K_T (1 + alpha gamma T).
template <class Model>
void expect_calorically_consistent(const Model& model) {
  for (const auto& [v, t] : states) {
    SCOPED_TRACE(::testing::Message() << "V = " << v << ", T = " << t);
    const double gamma = value_of(model.gruneisen_parameter(v, t));
    const double cv = value_of(model.molar_heat_capacity_v(v, t));
    const double alpha = value_of(model.thermal_expansivity(v, t, 1e-5));
    const double k_t = value_of(model.bulk_modulus(v, t, 1e-6));
    EXPECT_TRUE(relatively_near(gamma, 10000.0 * alpha * k_t * v / cv, 1e-5));
    const double factor = 1.0 + alpha * gamma * t;
    EXPECT_TRUE(relatively_near(value_of(model.molar_heat_capacity_p(v, t)), cv * factor, 1e-6));
    EXPECT_TRUE(relatively_near(value_of(model.adiabatic_bulk_modulus(v, t)), k_t * factor, 1e-6));
  }
}

// For a model with a Helmholtz free energy F(V, T) whose theta(V) integrates
// its gamma(V): S = -dF/dT, Cv = T dS/dT = dE/dT, gamma = -d ln(theta)/d ln(V),
// P_vib = -dF/dV / 10000, and the thermal pressure over Tr is
// -(dF(V, T)/dV - dF(V, Tr)/dV) / 10000.
template <class Model>
void expect_free_energy_consistent(const Model& model) {
  for (const auto& [v, t] : states) {
    SCOPED_TRACE(::testing::Message() << "V = " << v << ", T = " << t);
    const auto f_of_t = [&](double x) { return model.thermal_helmholtz_free_energy(v, x); };
    const auto s_of_t = [&](double x) { return model.thermal_entropy(v, x); };
    const auto e_of_t = [&](double x) { return model.thermal_energy(v, x); };
    const auto f_of_v = [&](double x) { return model.thermal_helmholtz_free_energy(x, t); };
    const auto f_r_of_v = [&](double x) { return model.thermal_helmholtz_free_energy(x, model.Tr); };
    const auto ln_theta = [&](double ln_v) -> EosResult<double> {
      const EosResult<double> theta = model.characteristic_temperature(std::exp(ln_v));
      if (!theta) return theta;
      return std::log(*theta);
    };
    EXPECT_TRUE(relatively_near(value_of(model.thermal_entropy(v, t)), -derivative(f_of_t, t), 1e-7));
    const double cv = value_of(model.molar_heat_capacity_v(v, t));
    EXPECT_TRUE(relatively_near(cv, t * derivative(s_of_t, t), 1e-6));
    EXPECT_TRUE(relatively_near(cv, derivative(e_of_t, t), 1e-6));
    EXPECT_TRUE(
        relatively_near(value_of(model.gruneisen_parameter(v, t)), -derivative(ln_theta, std::log(v)), 1e-7));
    EXPECT_TRUE(
        relatively_near(value_of(model.vibrational_pressure(v, t)), -derivative(f_of_v, v) / 10000.0, 1e-6));
    EXPECT_TRUE(relatively_near(value_of(model.thermal_pressure(v, t)),
                                -(derivative(f_of_v, v) - derivative(f_r_of_v, v)) / 10000.0, 1e-5));
  }
}

template <class Model>
void expect_consistent(const Model& model) {
  expect_mechanically_consistent(model);
  if constexpr (CaloricEosModel<Model>) expect_calorically_consistent(model);
  if constexpr (requires { model.thermal_helmholtz_free_energy(1.0, 1.0); })
    expect_free_energy_consistent(model);
}

TEST(ThermalConsistency, MieGruneisenDebye) {
  expect_consistent(*build_mie_gruneisen_debye(bm3_reference(), 300.0, 760.0, 1.5, 1.5, 2.0));
  expect_consistent(*build_mie_gruneisen_debye(bm3_reference(), 300.0, 760.0, 1.5, 0.0, 2.0, 45.0));
}

TEST(ThermalConsistency, MieGruneisenDebyeOtherReferences) {
  // The free-energy relations need theta to integrate gamma, which the
  // variable-exponent law does not; the mechanical and caloric ones hold for
  // every law and reference.
  for (auto reference :
       {ThermalPressureReference::reference_isentrope, ThermalPressureReference::absolute_zero}) {
    const auto model = *build_mie_gruneisen_debye(bm3_reference(), 300.0, 760.0, 1.5, 1.5, 2.0, std::nullopt,
                                                  DebyeTemperatureLaw::integrated_gruneisen, reference);
    expect_mechanically_consistent(model);
    expect_calorically_consistent(model);
  }
  const auto variable = *build_mie_gruneisen_debye(bm3_reference(), 300.0, 760.0, 1.5, 1.5, 2.0, std::nullopt,
                                                   DebyeTemperatureLaw::variable_exponent);
  expect_mechanically_consistent(variable);
  expect_calorically_consistent(variable);
}

TEST(ThermalConsistency, MieGruneisenEinstein) {
  expect_consistent(*build_mie_gruneisen_einstein(bm3_reference(), 300.0, 560.0, 1.4, 1.2, 2.0));
}

TEST(ThermalConsistency, AsymptoticPowerLaw) {
  expect_consistent(
      *AsymptoticPowerLawMieGruneisenDebye::make(bm3_reference(), 300.0, 760.0, 1.5, 0.5, 2.0, 2.0));
  expect_consistent(
      *AsymptoticPowerLawMieGruneisenDebye::make(bm3_reference(), 300.0, 760.0, 1.5, 1.0, 0.0, 2.0));
}

TEST(ThermalConsistency, DebyeQuadratic) {
  expect_consistent(
      *DebyeQuadraticThermalPressure::make(bm3_reference(), 300.0, 760.0, 1.5, 1.5, 2.0, 2e-7, 1.3));
}

TEST(ThermalConsistency, SimpleLaws) {
  expect_consistent(*LinearThermalPressure::make(bm3_reference(), 300.0, 0.005));
  expect_consistent(*LogVolumeThermalPressure::make(bm3_reference(), 300.0, 0.005, 0.002));
  expect_consistent(*SecondOrderTaylorThermalPressure::make(bm3_reference(), 300.0, 0.05, 0.1, 2.0, 0.004,
                                                            3.0, 1e-7, 0.01));
}

TEST(ThermalConsistency, HollandPowell) {
  expect_consistent(
      *HollandPowellThermalPressure<RtModel>::make(bm3_reference(), 298.15, 510.0, 2.6e-5, 2.0));
  const auto tait = *isothermal::ModifiedTait::make(11.24, 160.0, 4.0, -0.025);
  expect_consistent(
      *HollandPowellThermalPressure<isothermal::ModifiedTait>::make(tait, 298.15, 510.0, 2.6e-5, 2.0));
}

}  // namespace
}  // namespace nivaltus::thermal
