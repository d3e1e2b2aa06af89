// The multi-oscillator Grueneisen model at the far end of the expansion. Past
// the reference isotherm's spinodal (K <= 0) every volume is refused at once;
// short of it, where the denominator 6 (3K - 2uP) of gamma changes sign between
// V0 and V, the integral runs through a pole and fails as NonFiniteResult.

#include <gtest/gtest.h>

#include <cmath>

#include "core/thermal/multi_oscillator_gruneisen.hpp"
#include "core/thermal/special_functions.hpp"
#include "tests/core/thermal/thermal_model_fixtures.hpp"

namespace nivaltus::thermal {
namespace {

using namespace test;
using thermal_test::bm3_reference;

constexpr double v0 = 11.24;

// BM3 with K0' = 4: K = (K0/2)(7 x^(-7/3) - 5 x^(-5/3)) is zero at x = (7/5)^(3/2).
const double bm3_spinodal = std::pow(1.4, 1.5);

// u = t - beta x^(1/3) = -0.5, so the denominator is 6 (3K + P): on the BM3
// reference it reaches zero at V/V0 = 1.5392, before the spinodal at 1.6565.
MultiOscillatorGruneisen model_with_early_pole() {
  MultiOscillatorParameters p = thermal_test::multi_oscillator_parameters();
  p.t = -0.5;
  p.beta = 0.0;
  return *MultiOscillatorGruneisen::new_with_atom_count(bm3_reference(), p, 2.0);
}

// The shared fixture: u = 0.5 - 0.2 x^(1/3); its pole lies at V/V0 = 1.7394,
// beyond the spinodal.
MultiOscillatorGruneisen fixture_model() { return thermal_test::multi_oscillator_model(); }

// Thermal pressures at 2000 K short of the pole and the spinodal, as the model
// gave them before either was refused: they must not move by one bit.
TEST(MultiOscillatorPole, ShortOfThePoleAndTheSpinodalValuesAreUnchanged) {
  const std::tuple<MultiOscillatorGruneisen (*)(), double, double> recorded[] = {
      {model_with_early_pole, 1.0 * v0, 0x1.8806c62dcbd2p+0},
      {model_with_early_pole, 1.53 * v0, 0x1.3f4a7b43e368ap+5},
      {fixture_model, 0.6 * v0, 0x1.7824a4017a01ep+0},
      {fixture_model, 1.6 * v0, 0x1.a158e4d75810dp+1},
  };
  for (const auto& [model, v, thermal_pressure] : recorded) {
    EXPECT_EQ(model().thermal_pressure(v, 2000.0), thermal_pressure) << v;
  }
}

// Every volume-dependent operation fails alike: the volume terms, the thermal
// pressure and the temperature. Just short of the spinodal K' is noise and the
// integral exhausts its evaluation budget.
TEST(MultiOscillatorPole, PastThePoleOrTheSpinodalEveryEvaluationFails) {
  const EosError past_spinodal = bad_state(
      "volume", "lies past the reference isotherm's spinodal, where its bulk modulus is not positive");
  const std::tuple<MultiOscillatorGruneisen (*)(), double, EosError> failing[] = {
      {model_with_early_pole, 1.545 * v0, non_finite()},
      {model_with_early_pole, 1.8 * v0, past_spinodal},
      {fixture_model, bm3_spinodal * (1.0 - 1e-6) * v0, EosError::convergence_failed()},
      {fixture_model, bm3_spinodal * (1.0 + 1e-9) * v0, past_spinodal},
  };
  for (const auto& [model, v, error] : failing) {
    EXPECT_TRUE(fails_with(model().volume_terms(v), error)) << v;
    EXPECT_TRUE(fails_with(model().thermal_pressure(v, 2000.0), error)) << v;
    EXPECT_TRUE(fails_with(model().temperature(-20.0, v), error)) << v;
  }
  // A pressure below anything the model reaches sends the bracket search up
  // from V0 in steps of 1.05; the first refused candidate ends it: 1.05^9 V0 =
  // 1.551 V0 lies beyond the early pole, 1.05^11 V0 = 1.710 V0 past the spinodal.
  EXPECT_TRUE(fails_with(model_with_early_pole().volume(-40.0, 2000.0), non_finite()));
  EXPECT_TRUE(fails_with(fixture_model().volume(-40.0, 2000.0), past_spinodal));
}

// The integrand gamma/x with u = 1.5 refuses a negative denominator
// 6 (3K - 3P); just short of zero it is large but finite:
// gamma = (3P - 3K + 9K K' - 9K) / (6 (3K - 3P)) = (3e-6 + 3600 - 900) / 1.8e-5.
TEST(MultiOscillatorPole, IntegrandRefusesANonPositiveDenominator) {
  for (const auto& [pressure, bulk_modulus] : {std::pair{100.000001, 100.0}, {0.0, -1.0}}) {
    EXPECT_TRUE(fails_with(sokolova_gruneisen_integrand(0.8, pressure, bulk_modulus, 4.0, 0.0, 1.5, 0.0),
                           non_finite()));
  }
  EXPECT_TRUE(
      relatively_near(sokolova_gruneisen_integrand(1.0, 99.999999, 100.0, 4.0, 0.0, 1.5, 0.0), 1.5e8, 1e-6));
}

}  // namespace
}  // namespace nivaltus::thermal
