// The multi-oscillator Grueneisen integral where the denominator 6 (3K - 2uP)
// of gamma changes sign between V0 and V: beyond that pole the integral does
// not exist and every evaluation fails at once; short of it nothing changes.

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

// u = t - beta x^(1/3) = -0.5, so the denominator is 6 (3K + P): on the BM3
// reference it reaches zero at V/V0 = 1.5392, before the spinodal (K = 0 at
// 1.655).
MultiOscillatorGruneisen model_with_early_pole() {
  MultiOscillatorParameters p = thermal_test::multi_oscillator_parameters();
  p.t = -0.5;
  p.beta = 0.0;
  return *MultiOscillatorGruneisen::new_with_atom_count(bm3_reference(), p, 2.0);
}

// The shared fixture: u = 0.5 - 0.2 x^(1/3); its pole lies at V/V0 = 1.7394,
// beyond the spinodal.
MultiOscillatorGruneisen fixture_model() { return thermal_test::multi_oscillator_model(); }

// Thermal pressures at 2000 K short of the pole, as the model gave them before
// evaluations beyond the pole were refused: they must not move by one bit.
struct Recorded {
  MultiOscillatorGruneisen (*model)();
  double x;
  double thermal_pressure;
};

const Recorded recorded[] = {
    {model_with_early_pole, 0.6, 0x1.811df87a11cc2p+0},  {model_with_early_pole, 0.8, 0x1.770219f7ab21bp+0},
    {model_with_early_pole, 0.95, 0x1.800815b744435p+0}, {model_with_early_pole, 1.0, 0x1.8806c62dcbd2p+0},
    {model_with_early_pole, 1.05, 0x1.9389b249c994dp+0}, {model_with_early_pole, 1.2, 0x1.d8a5a249e833fp+0},
    {model_with_early_pole, 1.4, 0x1.ae414ad1fcbc7p+1},  {model_with_early_pole, 1.5, 0x1.44e44679a2589p+3},
    {model_with_early_pole, 1.53, 0x1.3f4a7b43e368ap+5}, {fixture_model, 0.6, 0x1.7824a4017a01ep+0},
    {fixture_model, 0.8, 0x1.5e5879738d11bp+0},          {fixture_model, 1.05, 0x1.59cb4de503f2p+0},
    {fixture_model, 1.2, 0x1.6d3a5d0ce03c5p+0},          {fixture_model, 1.4, 0x1.c0e354a0758c1p+0},
    {fixture_model, 1.5, 0x1.16ba4251b8e14p+1},          {fixture_model, 1.6, 0x1.a158e4d75810dp+1},
};

TEST(MultiOscillatorPole, ShortOfThePoleValuesAreUnchanged) {
  for (const Recorded& row : recorded) {
    const EosResult<double> p = row.model().thermal_pressure(row.x * v0, 2000.0);
    ASSERT_TRUE(p.has_value()) << row.x;
    EXPECT_EQ(*p, row.thermal_pressure) << row.x;
  }
}

// Beyond the pole every volume-dependent operation is NonFiniteResult: the
// volume terms, the thermal and total pressures and the temperature.
struct BeyondThePole {
  MultiOscillatorGruneisen (*model)();
  double x;
};

const BeyondThePole beyond[] = {
    {model_with_early_pole, 1.545}, {model_with_early_pole, 1.56}, {model_with_early_pole, 1.6},
    {model_with_early_pole, 1.8},   {model_with_early_pole, 2.5},  {fixture_model, 1.75},
    {fixture_model, 1.78},          {fixture_model, 1.81},         {fixture_model, 1.82},
    {fixture_model, 1.825},
};

TEST(MultiOscillatorPole, BeyondThePoleEveryEvaluationFails) {
  for (const BeyondThePole& row : beyond) {
    const MultiOscillatorGruneisen model = row.model();
    const double v = row.x * v0;
    EXPECT_TRUE(fails_with(model.volume_terms(v), non_finite())) << row.x;
    EXPECT_TRUE(fails_with(model.thermal_pressure(v, 2000.0), non_finite())) << row.x;
    EXPECT_TRUE(fails_with(model.pressure(v, 2000.0), non_finite())) << row.x;
    EXPECT_TRUE(fails_with(model.temperature(-20.0, v), non_finite())) << row.x;
  }
}

// A pressure below anything the model reaches sends the bracket search up
// from V0 in steps of 1.05; its ninth candidate, 1.05^9 V0 = 1.551 V0, lies
// beyond the pole and ends the search.
TEST(MultiOscillatorPole, VolumeSearchEndsAtThePole) {
  EXPECT_TRUE(fails_with(model_with_early_pole().volume(-40.0, 2000.0), non_finite()));
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
