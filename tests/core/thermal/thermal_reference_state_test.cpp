#include "core/thermal/thermal_reference_state.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/core/thermal/thermal_model_fixtures.hpp"
#include "tests/core/thermal/thermal_test_support.hpp"

namespace nivaltus::thermal {
namespace {

using thermal_test::bad_parameter;
using thermal_test::bad_state;
using thermal_test::fails_with;
using thermal_test::inf;
using thermal_test::nan;
using thermal_test::relatively_near;
using thermal_test::value_of;

using Expansion = ThermalExpansionLaw;
using Volume = ReferenceVolumeLaw;

EosResult<ThermalReferenceState> build(const std::vector<double>& p,
                                       Expansion expansion = Expansion::linear_temperature,
                                       Volume volume = Volume::integrated_expansivity) {
  return ThermalReferenceState::make(thermal_test::bm3_reference(), p[0], p[1], p[2], p[3], expansion,
                                     volume);
}

ThermalReferenceState state(Expansion expansion, Volume volume, double alpha1, double dk_dt = -0.02) {
  return *ThermalReferenceState::make(thermal_test::bm3_reference(), 300.0, 3e-5, dk_dt, alpha1, expansion,
                                      volume);
}

TEST(ThermalReferenceStateMake, ChecksInOrder) {
  thermal_test::expect_check_order({300.0, 3e-5, -0.02, 1e-8},
                                   {
                                       {0, 0.0, "Tr", "must be positive and finite"},
                                       {1, nan, "alpha0", "must be finite"},
                                       {2, inf, "dK_dT", "must be finite"},
                                       {3, -inf, "alpha1", "must be finite"},
                                   },
                                   [](const std::vector<double>& p) { return build(p); });
}

TEST(ThermalReferenceStateMake, LawCouplings) {
  struct Case {
    Expansion expansion;
    Volume volume;
    double alpha1;
    const char* field;  // nullptr: accepted
    const char* message;
  };
  const char* constant_message = "must be zero for constant thermal expansion";
  const char* linear_message = "linear temperature volume requires constant expansivity configuration";
  const char* berman_message = "Berman volume requires linear-temperature expansivity configuration";
  const Case cases[] = {
      {Expansion::constant, Volume::integrated_expansivity, 0.0, nullptr, nullptr},
      {Expansion::constant, Volume::integrated_expansivity, -0.0, nullptr, nullptr},
      // alpha1 is reported before any volume-law coupling.
      {Expansion::constant, Volume::berman, 0.5, "alpha1", constant_message},
      {Expansion::constant, Volume::linear_temperature, 0.0, nullptr, nullptr},
      {Expansion::linear_temperature, Volume::linear_temperature, 0.0, "reference_volume_law",
       linear_message},
      {Expansion::linear_reference_temperature, Volume::linear_temperature, 1e-8, "reference_volume_law",
       linear_message},
      {Expansion::linear_temperature, Volume::berman, 1e-8, nullptr, nullptr},
      {Expansion::linear_reference_temperature, Volume::berman, 1e-8, "reference_volume_law", berman_message},
      {Expansion::constant, Volume::berman, 0.0, "reference_volume_law", berman_message},
      {Expansion::linear_temperature, Volume::integrated_expansivity, 1e-8, nullptr, nullptr},
      {Expansion::linear_reference_temperature, Volume::integrated_expansivity, 1e-8, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << int(c.expansion) << ", " << int(c.volume) << ", " << c.alpha1);
    const auto model = build({300.0, 3e-5, -0.02, c.alpha1}, c.expansion, c.volume);
    if (c.field == nullptr) {
      ASSERT_TRUE(model.has_value());
      EXPECT_EQ(model->bulk_modulus_law.kind, BulkModulusLaw::Kind::linear_temperature);
      EXPECT_EQ(model->kprime_log_coefficient, 0.0);
    } else {
      EXPECT_TRUE(fails_with(model, bad_parameter(c.field, c.message)));
    }
  }
}

TEST(ThermalReferenceStateLaws, ChecksInOrder) {
  const ThermalReferenceState with_slope = state(Expansion::constant, Volume::integrated_expansivity, 0.0);
  const ThermalReferenceState flat = state(Expansion::constant, Volume::integrated_expansivity, 0.0, 0.0);
  const auto cubic = BulkModulusLaw::reciprocal_cubic;
  // A bad coefficient is reported before a non-zero dK_dT.
  EXPECT_TRUE(fails_with(ThermalReferenceState::with_temperature_laws(with_slope, cubic(0.0, nan, 0.0), 0.0),
                         bad_parameter("compressibility coefficient", "must be finite")));
  EXPECT_TRUE(fails_with(ThermalReferenceState::with_temperature_laws(flat, cubic(0.0, 0.0, inf), 0.0),
                         bad_parameter("compressibility coefficient", "must be finite")));
  EXPECT_TRUE(fails_with(ThermalReferenceState::with_temperature_laws(with_slope, cubic(1e-7, 0.0, 0.0), nan),
                         bad_parameter("dK_dT", "must be zero with cubic compressibility")));
  EXPECT_TRUE(fails_with(ThermalReferenceState::with_temperature_laws(flat, cubic(1e-7, 0.0, 0.0), nan),
                         bad_parameter("kprime_log_coefficient", "must be finite")));
  // The linear law tests no coefficient.
  EXPECT_TRUE(ThermalReferenceState::with_temperature_laws(
                  with_slope, {BulkModulusLaw::Kind::linear_temperature, nan, 0, 0}, 0.0)
                  .has_value());
  // The shifted reference is only a test: Baonza refuses K0' = 4 - 10.
  const ThermalReferenceState baonza =
      *ThermalReferenceState::make(*isothermal::Baonza::make(11.24, 160.0, 4.0), 300.0, 3e-5, 0.0, 0.0,
                                   Expansion::constant, Volume::integrated_expansivity);
  EXPECT_TRUE(fails_with(ThermalReferenceState::with_temperature_laws(baonza, cubic(1e-7, 0.0, 0.0), -10.0),
                         bad_parameter("K0_prime", "must be positive and finite")));
  const ThermalReferenceState shifted =
      *ThermalReferenceState::with_temperature_laws(baonza, cubic(1e-7, 0.0, 0.0), 1.0);
  EXPECT_EQ(shifted.reference.get_if<isothermal::Baonza>()->k0_prime, 4.0);
  EXPECT_EQ(shifted.kprime_log_coefficient, 1.0);
  EXPECT_EQ(shifted.bulk_modulus_law.beta1, 1e-7);
}

TEST(ThermalReferenceStateLaws, ShiftNeedsAReferenceThatAcceptsIt) {
  const RtModel bm2 = *isothermal::BM2::make(11.24, 160.0);
  const RtModel bm4 = *isothermal::BM4::make(11.24, 160.0, 4.0, -0.025);
  for (const RtModel& reference : {bm2, bm4}) {
    const ThermalReferenceState model = *ThermalReferenceState::make(
        reference, 300.0, 3e-5, -0.02, 0.0, Expansion::constant, Volume::integrated_expansivity);
    EXPECT_TRUE(fails_with(
        ThermalReferenceState::with_temperature_laws(model, BulkModulusLaw::linear_temperature(), 0.5),
        bad_parameter("kprime_log_coefficient",
                      "reference EOS does not support a pressure-derivative shift")));
    const auto zero =
        ThermalReferenceState::with_temperature_laws(model, BulkModulusLaw::linear_temperature(), 0.0);
    ASSERT_TRUE(zero.has_value());
    EXPECT_EQ(value_of(zero->thermal_pressure(10.5, 300.0)), 0.0);
  }
}

// V0(T) for every valid pairing of the volume and expansion laws, Tr = 300,
// T = 1300, alpha0 = 3e-5, alpha1 = 1e-8, with K0(T) = 160 - 0.02 * 1000.
TEST(ThermalReferenceStateEos, VolumeLaws) {
  struct Case {
    Expansion expansion;
    Volume volume;
    double alpha1;
    double v0;
  };
  const Case cases[] = {
      {Expansion::constant, Volume::integrated_expansivity, 0.0, 11.24 * std::exp(0.03)},
      // 0.03 + 1e-8/2 (1300^2 - 300^2) = 0.038
      {Expansion::linear_temperature, Volume::integrated_expansivity, 1e-8, 11.24 * std::exp(0.038)},
      // 0.03 + 1e-8/2 1000^2 = 0.035
      {Expansion::linear_reference_temperature, Volume::integrated_expansivity, 1e-8,
       11.24 * std::exp(0.035)},
      {Expansion::constant, Volume::linear_temperature, 0.0, 11.24 * 1.03},
      {Expansion::linear_temperature, Volume::berman, 1e-8, 11.24 * 1.035},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << int(c.expansion) << ", " << int(c.volume));
    const RtModel at_t = *state(c.expansion, c.volume, c.alpha1).state_eos(1300.0);
    EXPECT_TRUE(relatively_near(at_t.v0(), c.v0, 1e-14));
    EXPECT_TRUE(relatively_near(at_t.k0(), 140.0, 1e-14));
    EXPECT_EQ(at_t.kind(), RtModel::Kind::BM3);
    EXPECT_EQ(at_t.get_if<isothermal::BM3>()->k0_prime, 4.0);

    // At Tr the reference comes back unchanged and P_th is exactly 0.
    const RtModel at_tr = *state(c.expansion, c.volume, c.alpha1).state_eos(300.0);
    EXPECT_EQ(at_tr.v0(), 11.24);
    EXPECT_EQ(at_tr.k0(), 160.0);
    for (double v : {9.0, 10.5, 11.8})
      EXPECT_EQ(value_of(state(c.expansion, c.volume, c.alpha1).thermal_pressure(v, 300.0)), 0.0);
  }
}

// 1/K(T) = 1/160 + 1e-7 dT + 1e-10 (T^2 - Tr^2) + 1e-14 (T^3 - Tr^3), and
// K0'(T) = 4 + 0.5 dT ln(T/Tr).
TEST(ThermalReferenceStateEos, ReciprocalCubicModulusAndPressureDerivativeShift) {
  const ThermalReferenceState flat = state(Expansion::constant, Volume::integrated_expansivity, 0.0, 0.0);
  const ThermalReferenceState model = *ThermalReferenceState::with_temperature_laws(
      flat, BulkModulusLaw::reciprocal_cubic(1e-7, 1e-10, 1e-14), 0.5);
  const RtModel at_t = *model.state_eos(1300.0);
  const double compliance = 1.0 / 160.0 + 1e-4 + 1e-10 * 1.6e6 + 1e-14 * (2.197e9 - 2.7e7);
  EXPECT_TRUE(relatively_near(at_t.k0(), 1.0 / compliance, 1e-13));
  EXPECT_TRUE(relatively_near(at_t.get_if<isothermal::BM3>()->k0_prime,
                              4.0 + 0.5 * 1000.0 * std::log(1300.0 / 300.0), 1e-14));
  // K(Tr) = 1/(1/K0), within an ulp of K0.
  EXPECT_TRUE(relatively_near(model.state_eos(300.0)->k0(), 160.0, 1e-15));
}

TEST(ThermalReferenceStateEos, NonPositiveStates) {
  // 1 + alpha0 dT <= 0 at T = 0.5 for alpha0 = 3.4: the volume message wins
  // over the bulk modulus, which is negative too.
  const ThermalReferenceState shrinking =
      *ThermalReferenceState::make(thermal_test::bm3_reference(), 300.0, 0.0034, 1.0, 0.0,
                                   Expansion::constant, Volume::linear_temperature);
  EXPECT_TRUE(fails_with(shrinking.state_eos(0.5),
                         bad_state("temperature", "produces a non-positive reference volume")));
  // K0 + dK_dT dT = 160 - 0.2 * 800 = 0 at T = 1100.
  const ThermalReferenceState softening =
      state(Expansion::constant, Volume::integrated_expansivity, 0.0, -0.2);
  EXPECT_TRUE(fails_with(softening.state_eos(1100.0),
                         bad_state("temperature", "produces a non-positive bulk modulus")));
  EXPECT_TRUE(softening.state_eos(1099.0).has_value());
  // 1/K = 1/160 + beta1 dT = 0 exactly at T = 1300: an infinite modulus.
  const ThermalReferenceState flat = state(Expansion::constant, Volume::integrated_expansivity, 0.0, 0.0);
  const ThermalReferenceState stiffening = *ThermalReferenceState::with_temperature_laws(
      flat, BulkModulusLaw::reciprocal_cubic(-1.0 / 160000.0, 0, 0), 0.0);
  EXPECT_TRUE(fails_with(stiffening.state_eos(1300.0),
                         bad_state("temperature", "produces a non-positive bulk modulus")));
  EXPECT_TRUE(fails_with(flat.state_eos(0.0), bad_state("temperature")));
  EXPECT_TRUE(fails_with(flat.thermal_pressure(-1.0, nan), bad_state("volume")));
}

// K_T is the bulk modulus of the state at T, whatever the step; with
// dK_dT = 0 and constant alpha0 the expansivity at (V0(T), T) is alpha0.
TEST(ThermalReferenceStateEos, BulkModulusAndExpansivity) {
  const ThermalReferenceState model = thermal_test::thermal_reference_state_model();
  const double k = value_of(model.state_eos(1500.0)->bulk_modulus(10.5));
  EXPECT_EQ(value_of(model.bulk_modulus(10.5, 1500.0, 1e-6)), k);
  EXPECT_EQ(value_of(model.bulk_modulus(10.5, 1500.0, 0.5)), k);
  EXPECT_EQ(value_of(model.isothermal_compressibility(10.5, 1500.0)), 1.0 / k);
  EXPECT_TRUE(fails_with(model.bulk_modulus(10.5, nan, 0.0), bad_state("relative_step")));
  EXPECT_TRUE(fails_with(model.bulk_modulus(10.5, nan, 1e-6), bad_state("temperature")));
  EXPECT_TRUE(fails_with(model.bulk_modulus(-1.0, 1500.0, 1e-6), bad_state("volume")));

  const ThermalReferenceState flat = state(Expansion::constant, Volume::integrated_expansivity, 0.0, 0.0);
  const double t = 1300.0;
  const double v_t = 11.24 * std::exp(3e-5 * 1000.0);
  EXPECT_TRUE(relatively_near(value_of(flat.thermal_expansivity(v_t, t, 1e-4)), 3e-5, 1e-6));
}

TEST(ThermalReferenceStateEos, Inversions) {
  const ThermalReferenceState model = thermal_test::thermal_reference_state_model();
  for (const auto& [v, t] : {std::pair{10.5, 1500.0}, {11.8, 700.0}, {11.0, 150.0}}) {
    const double p = value_of(model.pressure(v, t));
    EXPECT_TRUE(relatively_near(p, value_of(model.state_eos(t)->pressure(v)), 1e-12));
    EXPECT_TRUE(relatively_near(value_of(model.volume(p, t)), v, 1e-10)) << v << ", " << t;
    EXPECT_TRUE(relatively_near(value_of(model.temperature(p, v)), t, 1e-8)) << v << ", " << t;
  }
}

}  // namespace
}  // namespace nivaltus::thermal
