// Thermodynamic consistency of every thermal model, with derivatives by
// five-point differences taken here, not by the models' default bodies.

#include <gtest/gtest.h>

#include <tuple>

#include "core/thermal/thermal_model.hpp"
#include "tests/core/thermal/thermal_model_fixtures.hpp"

namespace nivaltus::thermal {
namespace {

using namespace test;
using thermal_test::bm3_reference;

// Every model: the increment vanishes exactly at Tr, as does P_th of every
// law measured from Tr; K_T = K_ref - V dP_th/dV, alpha K_T = (dP_th/dT)_V;
// the inversions and the confined volume give back the state. With a heat
// capacity: gamma = 10000 alpha K_T V / Cv, Cp = Cv (1 + alpha gamma T) and
// K_S = K_T (1 + alpha gamma T). With a Helmholtz free energy F whose theta(V)
// integrates gamma(V): S = -dF/dT, Cv = T dS/dT, P_vib = -dF/dV / 10000,
// P_th = -(dF(V, T)/dV - dF(V, Tr)/dV) / 10000, H = E + 10000 V P_vib and
// G = F + 10000 V P_vib. (E - F = T S, Cv = dE/dT and gamma = -d ln(theta) /
// d ln(V): the quantity-name tests.)
template <class Model>
void expect_consistent(const Model& model, bool theta_integrates_gamma = true) {
  const double tr = model.reference_temperature();
  for (double v : {8.0, 10.5, 12.5}) {
    EXPECT_EQ(model.thermal_pressure_increment(v, tr), 0.0) << v;
    if (!std::is_same_v<Model, SecondOrderTaylorThermalPressure>) {
      EXPECT_EQ(model.pressure(v, tr), model.reference.pressure(v)) << v;
    }
  }
  for (const auto& [v, t] : {std::pair{10.5, 1500.0}, {11.8, 700.0}, {9.6, 2500.0}}) {
    SCOPED_TRACE(::testing::Message() << "V = " << v << ", T = " << t);
    const auto pth_of_v = [&](double x) { return model.thermal_pressure(x, t); };
    const auto pth_of_t = [&](double x) { return model.thermal_pressure(v, x); };
    const double k_t = value_of(model.bulk_modulus(v, t, 1e-6));
    const double alpha = value_of(model.thermal_expansivity(v, t, 1e-5));
    EXPECT_TRUE(
        relatively_near(k_t, value_of(model.reference.bulk_modulus(v)) - v * derivative(pth_of_v, v), 1e-6));
    EXPECT_TRUE(relatively_near(alpha * k_t, derivative(pth_of_t, t), 1e-6));
    const double p = value_of(model.pressure(v, t));
    EXPECT_TRUE(relatively_near(model.volume(p, t), v, 1e-10));
    EXPECT_TRUE(relatively_near(model.temperature(p, v), t, 1e-8));
    const double cold = p - 0.3 * value_of(model.thermal_pressure_increment(v, t));
    EXPECT_TRUE(relatively_near(model.volume_with_dac_confinement(cold, t, 0.3), v, 1e-10));
    if constexpr (CaloricEosModel<Model>) {
      const double gamma = value_of(model.gruneisen_parameter(v, t));
      const double cv = value_of(model.molar_heat_capacity_v(v, t));
      EXPECT_TRUE(relatively_near(gamma, 10000.0 * alpha * k_t * v / cv, 1e-5));
      EXPECT_TRUE(relatively_near(model.molar_heat_capacity_p(v, t), cv * (1.0 + alpha * gamma * t), 1e-6));
      EXPECT_TRUE(relatively_near(model.adiabatic_bulk_modulus(v, t), k_t * (1.0 + alpha * gamma * t), 1e-6));
    }
    if constexpr (requires { model.thermal_helmholtz_free_energy(1.0, 1.0); }) {
      if (!theta_integrates_gamma) continue;
      const auto f_of_t = [&](double x) { return model.thermal_helmholtz_free_energy(v, x); };
      const auto s_of_t = [&](double x) { return model.thermal_entropy(v, x); };
      const auto f_of_v = [&](double x) { return model.thermal_helmholtz_free_energy(x, t); };
      const auto f_r_of_v = [&](double x) { return model.thermal_helmholtz_free_energy(x, model.Tr); };
      const double p_vib = value_of(model.vibrational_pressure(v, t));
      const double e = value_of(model.thermal_energy(v, t));
      const double f = value_of(model.thermal_helmholtz_free_energy(v, t));
      EXPECT_TRUE(relatively_near(model.thermal_entropy(v, t), -derivative(f_of_t, t), 1e-7));
      EXPECT_TRUE(relatively_near(model.molar_heat_capacity_v(v, t), t * derivative(s_of_t, t), 1e-6));
      EXPECT_TRUE(relatively_near(p_vib, -derivative(f_of_v, v) / 10000.0, 1e-6));
      EXPECT_TRUE(relatively_near(model.thermal_pressure(v, t),
                                  -(derivative(f_of_v, v) - derivative(f_r_of_v, v)) / 10000.0, 1e-5));
      EXPECT_TRUE(relatively_near(model.thermal_enthalpy(v, t), e + 10000.0 * v * p_vib, 1e-12));
      EXPECT_TRUE(relatively_near(model.thermal_gibbs_free_energy(v, t), f + 10000.0 * v * p_vib, 1e-12));
    }
  }
}

TEST(ThermalConsistency, EveryModelKind) {
  std::apply([](const auto&... model) { (expect_consistent(model), ...); },
             thermal_test::all_thermal_models());
}

// The variable-exponent theta (not integrating gamma), q = 0 with a given
// Cvmax, and the asymptotic power law with a = 1, b = 0.
TEST(ThermalConsistency, OtherLawsAndReferences) {
  const RtModel ref = bm3_reference();
  expect_consistent(*build_mie_gruneisen_debye(ref, 300.0, 760.0, 1.5, 1.5, 2.0, std::nullopt,
                                               DebyeTemperatureLaw::variable_exponent),
                    false);
  expect_consistent(*build_mie_gruneisen_debye(ref, 300.0, 760.0, 1.5, 0.0, 2.0, 45.0));
  expect_consistent(*AsymptoticPowerLawMieGruneisenDebye::make(ref, 300.0, 760.0, 1.5, 1.0, 0.0, 2.0));
}

// One free energy: P = -dF/dV / 10000, S = -dF/dT = (E - F)/T, Cv = dE/dT,
// H = E + 10000 V P and G = F + 10000 V P.
TEST(ThermalConsistency, DorogokupetsOganovTermsAreDerivativesOfOneFreeEnergy) {
  const DorogokupetsOganov2007 model = thermal_test::dorogokupets_oganov_model();
  const auto term = [&model](double v, double t, double ThermodynamicTerms::*field) -> EosResult<double> {
    const EosResult<ThermodynamicTerms> terms = model.thermodynamic_terms(v, t);
    if (!terms) return std::unexpected(terms.error());
    return (*terms).*field;
  };
  for (const auto& [v, t] : {std::pair{10.5, 1500.0}, {9.0, 3000.0}, {12.0, 100.0}}) {
    SCOPED_TRACE(::testing::Message() << "V = " << v << ", T = " << t);
    const ThermodynamicTerms terms = *model.thermodynamic_terms(v, t);
    const auto f_of_v = [&](double x) { return term(x, t, &ThermodynamicTerms::helmholtz_energy); };
    const auto f_of_t = [&](double x) { return term(v, x, &ThermodynamicTerms::helmholtz_energy); };
    const auto e_of_t = [&](double x) { return term(v, x, &ThermodynamicTerms::internal_energy); };
    EXPECT_TRUE(
        relatively_near(model.absolute_nonreference_pressure(v, t), -derivative(f_of_v, v) / 10000.0, 1e-8));
    EXPECT_TRUE(relatively_near(terms.entropy, -derivative(f_of_t, t), 1e-8));
    EXPECT_TRUE(relatively_near(terms.heat_capacity_v, derivative(e_of_t, t), 1e-8));
    EXPECT_EQ(terms.entropy, (terms.internal_energy - terms.helmholtz_energy) / t);
    EXPECT_TRUE(relatively_near(model.thermal_enthalpy(v, t),
                                terms.internal_energy - v * derivative(f_of_v, v), 1e-8));
    EXPECT_TRUE(relatively_near(model.thermal_gibbs_free_energy(v, t),
                                terms.helmholtz_energy - v * derivative(f_of_v, v), 1e-8));
  }
}

}  // namespace
}  // namespace nivaltus::thermal
