#include "core/thermal/thermal_reference_state.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/core/thermal/thermal_model_fixtures.hpp"

namespace nivaltus::thermal {
namespace {

using namespace test;
using thermal_test::bm3_reference;

using Expansion = ThermalExpansionLaw;
using Volume = ReferenceVolumeLaw;

EosResult<ThermalReferenceState> make(Expansion expansion, Volume volume, double alpha1,
                                      double dk_dt = -0.02) {
  return ThermalReferenceState::make(bm3_reference(), 300.0, 3e-5, dk_dt, alpha1, expansion, volume);
}

// alpha1 must be zero under constant expansion, before any volume-law
// coupling: Berman needs the linear-temperature expansion. The temperature
// laws check their coefficients, then that dK_dT is zero. V0(T) and K0(T) are
// both computed before either is tested: 1 + alpha0 dT <= 0 at T = 0.5 for
// alpha0 = 0.0034, and so is K0 + dT, but the volume message wins;
// K0 + dK_dT dT = 160 - 0.2 * 800 = 0 at T = 1100.
TEST(ThermalReferenceState, Checks) {
  EXPECT_TRUE(fails_with(make(Expansion::constant, Volume::berman, 0.5),
                         bad_parameter("alpha1", "must be zero for constant thermal expansion")));
  EXPECT_TRUE(
      fails_with(make(Expansion::linear_reference_temperature, Volume::berman, 1e-8),
                 bad_parameter("reference_volume_law",
                               "Berman volume requires linear-temperature expansivity configuration")));
  const auto with_laws = ThermalReferenceState::with_temperature_laws;
  const auto cubic = BulkModulusLaw::reciprocal_cubic;
  const ThermalReferenceState with_slope = *make(Expansion::constant, Volume::integrated_expansivity, 0.0);
  EXPECT_TRUE(fails_with(with_laws(with_slope, cubic(0.0, nan, 0.0), nan),
                         bad_parameter("compressibility coefficient", phrase::finite)));
  EXPECT_TRUE(fails_with(with_laws(with_slope, cubic(1e-7, 0.0, 0.0), nan),
                         bad_parameter("dK_dT", "must be zero with cubic compressibility")));
  const auto shrinking = *ThermalReferenceState::make(bm3_reference(), 300.0, 0.0034, 1.0, 0.0,
                                                      Expansion::constant, Volume::linear_temperature);
  EXPECT_TRUE(fails_with(shrinking.state_eos(0.5),
                         bad_state("temperature", "produces a non-positive reference volume")));
  EXPECT_TRUE(
      fails_with(make(Expansion::constant, Volume::integrated_expansivity, 0.0, -0.2)->state_eos(1100.0),
                 bad_state("temperature", "produces a non-positive bulk modulus")));
}

// Tr = 300, T = 1300, alpha0 = 3e-5, alpha1 = 1e-8: ln(V0(T)/V0) is
// 0.03 + 1e-8/2 (1300^2 - 300^2) = 0.038 or, from Tr, 0.03 + 1e-8/2 1000^2 =
// 0.035; K0(T) = 160 - 0.02 * 1000. Under the reciprocal cubic law,
// 1/K(T) = 1/160 + 1e-7 dT + 1e-10 (T^2 - Tr^2) + 1e-14 (T^3 - Tr^3), and
// K0'(T) = 4 + 0.5 dT ln(T/Tr). K_T is the state's closed-form K; with
// dK_dT = 0 and constant alpha0, alpha(V0(T), T) = alpha0.
TEST(ThermalReferenceState, StateEos) {
  const std::tuple<Expansion, Volume, double, double> cases[] = {
      {Expansion::linear_temperature, Volume::integrated_expansivity, 1e-8, 11.24 * std::exp(0.038)},
      {Expansion::linear_reference_temperature, Volume::integrated_expansivity, 1e-8,
       11.24 * std::exp(0.035)},
      {Expansion::constant, Volume::linear_temperature, 0.0, 11.24 * 1.03},
      {Expansion::linear_temperature, Volume::berman, 1e-8, 11.24 * 1.035},
  };
  for (const auto& [expansion, volume, alpha1, v0] : cases) {
    const ThermalReferenceState model = *make(expansion, volume, alpha1);
    EXPECT_TRUE(relatively_near(model.state_eos(1300.0)->v0(), v0, 1e-14)) << int(expansion) << int(volume);
    EXPECT_TRUE(relatively_near(model.state_eos(1300.0)->k0(), 140.0, 1e-14));
    EXPECT_EQ(model.state_eos(300.0)->v0(), 11.24);
  }
  const ThermalReferenceState model = *ThermalReferenceState::with_temperature_laws(
      *make(Expansion::constant, Volume::integrated_expansivity, 0.0, 0.0),
      BulkModulusLaw::reciprocal_cubic(1e-7, 1e-10, 1e-14), 0.5);
  const RtModel at_t = *model.state_eos(1300.0);
  EXPECT_TRUE(relatively_near(at_t.k0(),
                              1.0 / (1.0 / 160.0 + 1e-4 + 1e-10 * 1.6e6 + 1e-14 * (2.197e9 - 2.7e7)), 1e-13));
  EXPECT_TRUE(relatively_near(at_t.get_if<isothermal::BM3>()->k0_prime,
                              4.0 + 500.0 * std::log(1300.0 / 300.0), 1e-14));
  EXPECT_EQ(model.bulk_modulus(10.5, 1300.0, 0.5), at_t.bulk_modulus(10.5));
  EXPECT_TRUE(relatively_near(model.thermal_expansivity(11.24 * std::exp(0.03), 1300.0, 1e-4), 3e-5, 1e-6));
}

}  // namespace
}  // namespace nivaltus::thermal
