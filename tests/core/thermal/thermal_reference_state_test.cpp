#include "core/thermal/thermal_reference_state.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/core/thermal/thermal_model_fixtures.hpp"

namespace nivaltus::thermal {
namespace {

using namespace test;
using thermal_test::bm3_reference;

using Expansion = ThermalExpansionLaw;
using Volume = ReferenceVolumeLaw;

EosResult<ThermalReferenceState> make(Expansion expansion, Volume volume, double alpha1, double dk_dt = -0.02,
                                      const RtModel& reference = bm3_reference()) {
  return ThermalReferenceState::make(reference, 300.0, 3e-5, dk_dt, alpha1, expansion, volume);
}

// alpha1 must be zero under constant expansion, before any volume-law
// coupling: the linear volume law needs constant expansion, Berman the
// linear-temperature one. (The parameters' own checks, one keyword each, are
// the Python constructor tests' part.)
TEST(ThermalReferenceStateMake, LawCouplings) {
  const std::string_view linear = "linear temperature volume requires constant expansivity configuration";
  const std::string_view berman = "Berman volume requires linear-temperature expansivity configuration";
  EXPECT_TRUE(fails_with(make(Expansion::constant, Volume::berman, 0.5),
                         bad_parameter("alpha1", "must be zero for constant thermal expansion")));
  EXPECT_TRUE(fails_with(make(Expansion::linear_temperature, Volume::linear_temperature, 0.0),
                         bad_parameter("reference_volume_law", linear)));
  EXPECT_TRUE(fails_with(make(Expansion::linear_reference_temperature, Volume::berman, 1e-8),
                         bad_parameter("reference_volume_law", berman)));
}

// A bad coefficient, then a non-zero dK_dT, then the K0' coefficient, which
// the reference must accept as a K0' shift (BM2 has no K0').
TEST(ThermalReferenceStateMake, TemperatureLawsCheckInOrder) {
  const auto with_laws = ThermalReferenceState::with_temperature_laws;
  const auto cubic = BulkModulusLaw::reciprocal_cubic;
  const ThermalReferenceState with_slope = *make(Expansion::constant, Volume::integrated_expansivity, 0.0);
  EXPECT_TRUE(fails_with(with_laws(with_slope, cubic(0.0, nan, 0.0), nan),
                         bad_parameter("compressibility coefficient", phrase::finite)));
  EXPECT_TRUE(fails_with(with_laws(with_slope, cubic(1e-7, 0.0, 0.0), nan),
                         bad_parameter("dK_dT", "must be zero with cubic compressibility")));
  const ThermalReferenceState bm2 = *make(Expansion::constant, Volume::integrated_expansivity, 0.0, 0.0,
                                          *isothermal::BM2::make(11.24, 160.0));
  EXPECT_TRUE(fails_with(with_laws(bm2, cubic(1e-7, 0.0, 0.0), nan),
                         bad_parameter("kprime_log_coefficient", phrase::finite)));
  EXPECT_TRUE(fails_with(
      with_laws(bm2, cubic(1e-7, 0.0, 0.0), 0.5),
      bad_parameter("kprime_log_coefficient", "reference EOS does not support a pressure-derivative shift")));
}

// V0(T) for each expansion and volume law, Tr = 300, T = 1300,
// alpha0 = 3e-5, alpha1 = 1e-8, K0(T) = 160 - 0.02 * 1000; at Tr the
// reference comes back unchanged.
TEST(ThermalReferenceStateEos, VolumeLaws) {
  const std::tuple<Expansion, Volume, double, double> cases[] = {
      // 0.03 + 1e-8/2 (1300^2 - 300^2) = 0.038
      {Expansion::linear_temperature, Volume::integrated_expansivity, 1e-8, 11.24 * std::exp(0.038)},
      // 0.03 + 1e-8/2 1000^2 = 0.035
      {Expansion::linear_reference_temperature, Volume::integrated_expansivity, 1e-8,
       11.24 * std::exp(0.035)},
      {Expansion::constant, Volume::linear_temperature, 0.0, 11.24 * 1.03},
      {Expansion::linear_temperature, Volume::berman, 1e-8, 11.24 * 1.035},
  };
  for (const auto& [expansion, volume, alpha1, v0] : cases) {
    SCOPED_TRACE(::testing::Message() << int(expansion) << ", " << int(volume));
    const ThermalReferenceState model = *make(expansion, volume, alpha1);
    const RtModel at_t = *model.state_eos(1300.0);
    EXPECT_TRUE(relatively_near(at_t.v0(), v0, 1e-14));
    EXPECT_TRUE(relatively_near(at_t.k0(), 140.0, 1e-14));
    EXPECT_EQ(model.state_eos(300.0)->v0(), 11.24);
    EXPECT_EQ(model.state_eos(300.0)->k0(), 160.0);
  }
}

// 1/K(T) = 1/160 + 1e-7 dT + 1e-10 (T^2 - Tr^2) + 1e-14 (T^3 - Tr^3), and
// K0'(T) = 4 + 0.5 dT ln(T/Tr); at Tr, K = 1/(1/K0).
TEST(ThermalReferenceStateEos, ReciprocalCubicModulusAndPressureDerivativeShift) {
  const ThermalReferenceState model = *ThermalReferenceState::with_temperature_laws(
      *make(Expansion::constant, Volume::integrated_expansivity, 0.0, 0.0),
      BulkModulusLaw::reciprocal_cubic(1e-7, 1e-10, 1e-14), 0.5);
  const RtModel at_t = *model.state_eos(1300.0);
  EXPECT_TRUE(relatively_near(at_t.k0(),
                              1.0 / (1.0 / 160.0 + 1e-4 + 1e-10 * 1.6e6 + 1e-14 * (2.197e9 - 2.7e7)), 1e-13));
  EXPECT_TRUE(relatively_near(at_t.get_if<isothermal::BM3>()->k0_prime,
                              4.0 + 500.0 * std::log(1300.0 / 300.0), 1e-14));
  EXPECT_TRUE(relatively_near(model.state_eos(300.0)->k0(), 160.0, 1e-15));
}

// Both V0(T) and K0(T) are computed before either is tested: the volume
// message wins.
TEST(ThermalReferenceStateEos, NonPositiveStates) {
  const std::string_view volume = "produces a non-positive reference volume";
  const std::string_view modulus = "produces a non-positive bulk modulus";
  // 1 + alpha0 dT <= 0 at T = 0.5 for alpha0 = 0.0034, and so is K0 + dT.
  const auto shrinking = *ThermalReferenceState::make(bm3_reference(), 300.0, 0.0034, 1.0, 0.0,
                                                      Expansion::constant, Volume::linear_temperature);
  EXPECT_TRUE(fails_with(shrinking.state_eos(0.5), bad_state("temperature", volume)));
  // K0 + dK_dT dT = 160 - 0.2 * 800 = 0 at T = 1100.
  const ThermalReferenceState softening =
      *make(Expansion::constant, Volume::integrated_expansivity, 0.0, -0.2);
  EXPECT_TRUE(fails_with(softening.state_eos(1100.0), bad_state("temperature", modulus)));
  EXPECT_TRUE(fails_with(softening.state_eos(0.0), bad_state("temperature")));
}

// K_T is the bulk modulus of the state at T in closed form: the step is
// checked (first) but not used. With dK_dT = 0 and constant alpha0, alpha at
// (V0(T), T) is alpha0.
TEST(ThermalReferenceStateEos, BulkModulusAndExpansivity) {
  const ThermalReferenceState model = thermal_test::thermal_reference_state_model();
  EXPECT_EQ(model.bulk_modulus(10.5, 1500.0, 0.5), model.state_eos(1500.0)->bulk_modulus(10.5));
  EXPECT_TRUE(fails_with(model.bulk_modulus(10.5, nan, 0.0), bad_state("relative_step")));
  EXPECT_TRUE(fails_with(model.bulk_modulus(-1.0, nan, 1e-6), bad_state("temperature")));
  const ThermalReferenceState flat = *make(Expansion::constant, Volume::integrated_expansivity, 0.0, 0.0);
  EXPECT_TRUE(relatively_near(flat.thermal_expansivity(11.24 * std::exp(0.03), 1300.0, 1e-4), 3e-5, 1e-6));
}

}  // namespace
}  // namespace nivaltus::thermal
