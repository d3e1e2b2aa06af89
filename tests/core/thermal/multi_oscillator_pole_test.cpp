// The multi-oscillator Grueneisen model at the far end of the expansion. Past
// the reference isotherm's spinodal (K <= 0) every volume is refused at once;
// short of it, where the denominator 6 (3K - 2uP) of gamma changes sign between
// V0 and V, the integral runs through a pole and fails as NonFiniteResult;
// short of both nothing changes.

#include <gtest/gtest.h>

#include <cmath>

#include "core/isothermal/vinet.hpp"
#include "core/thermal/multi_oscillator_gruneisen.hpp"
#include "core/thermal/special_functions.hpp"
#include "tests/core/thermal/thermal_model_fixtures.hpp"

namespace nivaltus::thermal {
namespace {

using namespace test;
using thermal_test::bm3_reference;

constexpr double bm3_v0 = 11.24;
constexpr double vinet_v0 = 1.1248;

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

// Two Einstein modes over a Vinet isotherm (K0 = 160.2, K0' = 4.03): with
// eta = 1.5 (K0' - 1) and f = x^(1/3), K = 0 where eta f^2 + (1 - eta) f = 2,
// at x = 1.5588; the pole of gamma lies at 1.815.
MultiOscillatorGruneisen vinet_model() {
  const MultiOscillatorParameters p{300.0, 700.0, 1.0, 900.0, 0.5, 1.0, 1.0, 1e-5, 1.0,
                                    1e-5,  1.0,   0.0, 1.0,   1.0, 0.0, 1.0, 1.0,  0.0};
  return *MultiOscillatorGruneisen::new_with_atom_count(*isothermal::Vinet::make(vinet_v0, 160.2, 4.03), p,
                                                        2.0);
}

// Thermal pressures at 2000 K short of the pole and the spinodal, as the model
// gave them before either was refused: they must not move by one bit.
struct Recorded {
  MultiOscillatorGruneisen (*model)();
  double v;
  double thermal_pressure;
};

const Recorded recorded[] = {
    {model_with_early_pole, 0.6 * bm3_v0, 0x1.811df87a11cc2p+0},
    {model_with_early_pole, 1.0 * bm3_v0, 0x1.8806c62dcbd2p+0},
    {model_with_early_pole, 1.5 * bm3_v0, 0x1.44e44679a2589p+3},
    {model_with_early_pole, 1.53 * bm3_v0, 0x1.3f4a7b43e368ap+5},
    {fixture_model, 0.6 * bm3_v0, 0x1.7824a4017a01ep+0},
    {fixture_model, 1.4 * bm3_v0, 0x1.c0e354a0758c1p+0},
    {fixture_model, 1.6 * bm3_v0, 0x1.a158e4d75810dp+1},
    {vinet_model, 0.3 * vinet_v0, 0x1.9fe8f69733424p-1},
    {vinet_model, 1.5 * vinet_v0, 0x1.5f9fb6f044c86p+2},
    {vinet_model, 1.553 * vinet_v0, 0x1.81e593a9a2028p+2},
};

TEST(MultiOscillatorPole, ShortOfThePoleAndTheSpinodalValuesAreUnchanged) {
  for (const Recorded& row : recorded) {
    const EosResult<double> p = row.model().thermal_pressure(row.v, 2000.0);
    ASSERT_TRUE(p.has_value()) << row.v << ": " << p.error();
    EXPECT_EQ(*p, row.thermal_pressure) << row.v;
  }
}

const EosError past_spinodal = bad_state(
    "volume", "lies past the reference isotherm's spinodal, where its bulk modulus is not positive");

// Every volume-dependent operation fails alike: the volume terms, the thermal
// and total pressures and the temperature. Just short of the spinodal K' is
// noise and the integral exhausts its evaluation budget.
struct Failing {
  MultiOscillatorGruneisen (*model)();
  double v;
  EosError error;
};

const Failing failing[] = {
    {model_with_early_pole, 1.545 * bm3_v0, non_finite()},
    {model_with_early_pole, 1.6 * bm3_v0, non_finite()},
    {model_with_early_pole, 1.8 * bm3_v0, past_spinodal},
    {model_with_early_pole, 2.5 * bm3_v0, past_spinodal},
    {fixture_model, bm3_spinodal*(1.0 - 1e-6) * bm3_v0, EosError::convergence_failed()},
    {fixture_model, bm3_spinodal*(1.0 + 1e-9) * bm3_v0, past_spinodal},
    {fixture_model, 1.7 * bm3_v0, past_spinodal},
    {fixture_model, 1.82 * bm3_v0, past_spinodal},
    {vinet_model, 1.56 * vinet_v0, past_spinodal},
    {vinet_model, 1.7 * vinet_v0, past_spinodal},
    {vinet_model, 1.9 * vinet_v0, past_spinodal},
};

TEST(MultiOscillatorPole, PastThePoleOrTheSpinodalEveryEvaluationFails) {
  for (const Failing& row : failing) {
    const MultiOscillatorGruneisen model = row.model();
    EXPECT_TRUE(fails_with(model.volume_terms(row.v), row.error)) << row.v;
    EXPECT_TRUE(fails_with(model.thermal_pressure(row.v, 2000.0), row.error)) << row.v;
    EXPECT_TRUE(fails_with(model.pressure(row.v, 2000.0), row.error)) << row.v;
    EXPECT_TRUE(fails_with(model.temperature(-20.0, row.v), row.error)) << row.v;
  }
}

// A pressure below anything the model reaches sends the bracket search up
// from V0 in steps of 1.05 and the first refused candidate ends it: 1.05^9 V0
// = 1.551 V0 lies beyond the early pole; 1.05^10 V0 = 1.629 V0 past the Vinet
// spinodal (at 20000 K the pressure has a minimum near 30 GPa).
TEST(MultiOscillatorPole, VolumeSearchEndsAtThePoleOrTheSpinodal) {
  EXPECT_TRUE(fails_with(model_with_early_pole().volume(-40.0, 2000.0), non_finite()));
  EXPECT_TRUE(fails_with(vinet_model().volume(10.0, 2e4), past_spinodal));
}

// The integrand itself: gamma/x with u = c2 - x^(1/3) c3 = 1.5 for c3 = 0;
// the denominator 6 (3K - 3P) is zero for P = K and negative for P > K.
TEST(MultiOscillatorPole, IntegrandRefusesANonPositiveDenominator) {
  const struct {
    double pressure, bulk_modulus;
  } rows[] = {{100.0, 100.0}, {100.000001, 100.0}, {250.0, 100.0}, {0.0, -1.0}};
  for (const auto& row : rows) {
    const EosResult<double> value =
        sokolova_gruneisen_integrand(0.8, row.pressure, row.bulk_modulus, 4.0, 0.0, 1.5, 0.0);
    EXPECT_TRUE(fails_with(value, non_finite())) << row.pressure << " " << row.bulk_modulus;
  }
  // Just short of zero the integrand is large but finite:
  // gamma = (3P - 3K + 9K K' - 9K) / (6 (3K - 3P)) = (3e-6 + 3600 - 900) / 1.8e-5.
  const EosResult<double> near = sokolova_gruneisen_integrand(1.0, 99.999999, 100.0, 4.0, 0.0, 1.5, 0.0);
  ASSERT_TRUE(near.has_value());
  EXPECT_NEAR(*near / 1.5e8, 1.0, 1e-6);
}

}  // namespace
}  // namespace nivaltus::thermal
