#include "core/thermal/multi_oscillator_gruneisen.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/core/thermal/thermal_model_fixtures.hpp"
#include "tests/core/thermal/thermal_test_support.hpp"

namespace nivaltus::thermal {
namespace {

using thermal_test::bad_state;
using thermal_test::fails_with;
using thermal_test::inf;
using thermal_test::nan;
using thermal_test::relatively_near;
using thermal_test::value_of;

// The eighteen parameters in record order, then n.
std::vector<double> valid() {
  const MultiOscillatorParameters p = thermal_test::multi_oscillator_parameters();
  return {p.Tr,  p.QE1o, p.mE1, p.QE2o, p.mE2, p.delta, p.t,  p.a_0, p.m, p.g,
          p.e_0, p.beta, p.QBo, p.d,    p.mb,  p.QB1o,  p.d1, p.mb1, 2.0};
}

EosResult<MultiOscillatorGruneisen> build(const std::vector<double>& v) {
  const MultiOscillatorParameters p{v[0], v[1],  v[2],  v[3],  v[4],  v[5],  v[6],  v[7],  v[8],
                                    v[9], v[10], v[11], v[12], v[13], v[14], v[15], v[16], v[17]};
  return MultiOscillatorGruneisen::new_with_atom_count(thermal_test::bm3_reference(), p, v[18]);
}

TEST(MultiOscillatorGruneisenMake, ChecksInOrder) {
  const char* positive = "must be positive and finite";
  const char* finite = "must be finite";
  const char* non_negative = "must not be negative";
  thermal_test::expect_check_order(
      valid(),
      {
          {0, 0.0, "Tr", positive},          {1, nan, "QE1o", positive},    {2, inf, "mE1", finite},
          {2, -1.0, "mE1", non_negative},    {3, -900.0, "QE2o", positive}, {4, nan, "mE2", finite},
          {4, -1e-300, "mE2", non_negative}, {5, nan, "delta", finite},     {6, inf, "t", finite},
          {7, -inf, "a_0", finite},          {8, nan, "m", finite},         {9, nan, "g", finite},
          {10, inf, "e_0", finite},          {11, nan, "beta", finite},     {12, 0.0, "QBo", positive},
          {13, -1.5, "d", positive},         {14, nan, "mb", finite},       {14, -2.0, "mb", non_negative},
          {15, inf, "QB1o", positive},       {16, 0.0, "d1", positive},     {17, -inf, "mb1", finite},
          {17, -1.0, "mb1", non_negative},   {18, 0.0, "n", positive},
      },
      build);
}

TEST(MultiOscillatorGruneisenMake, NegativeZeroMultiplicitiesPass) {
  std::vector<double> p = valid();
  p[2] = p[4] = p[14] = p[17] = -0.0;
  EXPECT_TRUE(build(p).has_value());
}

// Reference values: mpmath at 30 digits with the closed-form BM3 P, K and
//   K' = (12 + 49 f) / (3 (1 + 7 f)),  f = ((V0/V)^(2/3) - 1)/2,
// the Grueneisen formula, I = mpmath.quad of gamma(x)/x over [x, 1], and the
// mode energies written from their definitions.
TEST(MultiOscillatorGruneisen, VolumeTermsAgainstIndependentQuadrature) {
  struct Case {
    double v, gamma, integral;
  };
  const Case cases[] = {
      {10.5, 1.7372511618373878, 0.12145666941451306},
      {11.8, 1.9179931308846656, -0.091132313186336008},
      {9.0, 1.582885723880023, 0.37646425258289565},
  };
  const MultiOscillatorGruneisen model = thermal_test::multi_oscillator_model();
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "V = " << c.v);
    const VolumeTerms terms = *model.volume_terms(c.v);
    EXPECT_EQ(terms.volume, c.v);
    EXPECT_TRUE(relatively_near(terms.gamma, c.gamma, 1e-9));
    EXPECT_TRUE(relatively_near(std::log(terms.theta_b / 300.0), c.integral, 1e-9));
    const double e = std::exp(c.integral);
    EXPECT_TRUE(relatively_near(terms.theta_b1, 600.0 * e, 1e-9));
    EXPECT_TRUE(relatively_near(terms.theta_e1, 500.0 * e, 1e-9));
    EXPECT_TRUE(relatively_near(terms.theta_e2, 900.0 * e, 1e-9));
  }
}

TEST(MultiOscillatorGruneisen, ThermalPressureAgainstIndependentValues) {
  struct Case {
    double v, t, thermal;
  };
  const Case cases[] = {
      {10.5, 1500.0, 0.91880841924260395},
      {11.8, 700.0, 0.28562145995801121},
      {9.0, 150.0, -0.055995215717448399},
  };
  const MultiOscillatorGruneisen model = thermal_test::multi_oscillator_model();
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "V = " << c.v << ", T = " << c.t);
    EXPECT_TRUE(relatively_near(value_of(model.thermal_pressure(c.v, c.t)), c.thermal, 1e-9));
  }
}

TEST(MultiOscillatorGruneisen, ReferenceVolumeAndTemperature) {
  const MultiOscillatorGruneisen model = thermal_test::multi_oscillator_model();
  const VolumeTerms at_v0 = *model.volume_terms(11.24);
  EXPECT_EQ(at_v0.theta_b, 300.0);
  EXPECT_EQ(at_v0.theta_b1, 600.0);
  EXPECT_EQ(at_v0.theta_e1, 500.0);
  EXPECT_EQ(at_v0.theta_e2, 900.0);
  // At V0: P = 0, K' = 4 and f = t - beta = 0.3, so gamma = delta + 2 - 1/6 - 0.1.
  EXPECT_TRUE(relatively_near(at_v0.gamma, 0.1 + 2.0 - 1.0 / 6.0 - 0.1, 1e-9));
  for (double v : {8.0, 10.5, 11.24, 12.5}) EXPECT_EQ(value_of(model.thermal_pressure(v, 300.0)), 0.0) << v;
}

TEST(MultiOscillatorGruneisen, SilentOscillatorsStillEvaluateTheVolumeTerms) {
  MultiOscillatorParameters p = thermal_test::multi_oscillator_parameters();
  p.mE1 = p.mE2 = p.mb = p.mb1 = 0.0;
  p.a_0 = p.e_0 = 0.0;
  const MultiOscillatorGruneisen model =
      *MultiOscillatorGruneisen::new_with_atom_count(thermal_test::bm3_reference(), p, 2.0);
  for (double t : {10.0, 300.0, 5000.0}) EXPECT_EQ(value_of(model.thermal_pressure(10.5, t)), 0.0) << t;

  // Over a modified Tait reference whose domain ends at V = 8/3 V0.
  const MultiOscillatorGruneisen tait = *MultiOscillatorGruneisen::new_with_atom_count(
      RtModel(thermal_test::modified_tait_reference()), p, 2.0);
  EXPECT_EQ(value_of(tait.thermal_pressure(20.0, 1000.0)), 0.0);
  EXPECT_TRUE(fails_with(tait.thermal_pressure(3.0 * 11.24, 1000.0),
                         bad_state("volume", "is outside the modified Tait EOS domain")));
}

TEST(MultiOscillatorGruneisen, StateChecks) {
  const MultiOscillatorGruneisen model = thermal_test::multi_oscillator_model();
  EXPECT_TRUE(fails_with(model.volume_terms(-1.0), bad_state("volume")));
  // Volume failures come before a bad temperature.
  EXPECT_TRUE(fails_with(model.thermal_pressure(nan, -1.0), bad_state("volume")));
  EXPECT_TRUE(fails_with(model.thermal_pressure(10.5, 0.0), bad_state("temperature")));
  EXPECT_TRUE(fails_with(model.temperature(inf, -1.0), bad_state("pressure", "must be finite")));
  EXPECT_TRUE(fails_with(model.temperature(1.0, 0.0), bad_state("volume")));
}

// The own temperature inversion and the default volume inversion give back
// the state; a pressure that no temperature reaches is out of range.
TEST(MultiOscillatorGruneisen, Inversions) {
  const MultiOscillatorGruneisen model = thermal_test::multi_oscillator_model();
  for (const auto& [v, t] : {std::pair{10.5, 1500.0}, {11.8, 700.0}, {9.0, 150.0}}) {
    const double p = value_of(model.pressure(v, t));
    EXPECT_TRUE(relatively_near(value_of(model.temperature(p, v)), t, 1e-8)) << v << ", " << t;
    EXPECT_TRUE(relatively_near(value_of(model.volume(p, t)), v, 1e-10)) << v << ", " << t;
  }
}

}  // namespace
}  // namespace nivaltus::thermal
