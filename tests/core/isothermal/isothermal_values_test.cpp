// Pressure and bulk modulus of every isothermal kind against independent
// values, and the volume checks shared by all of them.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "tests/core/isothermal/isothermal_test_models.hpp"

namespace nivaltus {
namespace {

using test::all_model_cases;
using test::valid_model;

struct ValueCase {
  std::string name;
  std::vector<double> parameters;
  double volume;
  double pressure;
  double bulk_modulus;
};

// Reference values from python3 + mpmath at 50 digits: the pressure from the
// textbook form of each model (BM with (1 + 2f)^(5/2), Vinet with
// (V/V0)^(1/3) powers, Murnaghan as K0/K0' ((V0/V)^K0' - 1), modified Tait as
// (x^(-1/c) - 1)/b, Holzapfel as 3 K0 x^-5 (1 - x) exp(c0 (1 - x))(1 + c2 x (1 - x)),
// with exact 35/9, 5/3, beta = 0.85), and K = -V dP/dV by mpmath.diff of that
// pressure, never the closed form under test. Volumes are 0.6, 0.85 and 1.15 V0.
const ValueCase value_cases[] = {
    {"BM2", {11.2, 160}, 6.72, 228.13229079662557, 907.16764088179267},
    {"BM2", {11.2, 160}, 9.52, 36.007957301179082, 293.79423201843129},
    {"BM2", {11.2, 160}, 12.88, -16.91493430911365, 87.284431293200021},
    {"BM3", {74.7, 160.3, 4.62}, 44.82, 271.68024790534861, 1179.936431480843},
    {"BM3", {74.7, 160.3, 4.62}, 63.495, 37.995100313704471, 322.47077325831653},
    {"BM3", {74.7, 160.3, 4.62}, 85.905, -16.245583740337527, 79.044364930907097},
    {"BM4", {10, 200, 4.5, -0.03}, 6.0, 304.592517152441, 1200.7427534197309},
    {"BM4", {10, 200, 4.5, -0.03}, 8.5, 46.640592663823643, 389.1812025316682},
    {"BM4", {10, 200, 4.5, -0.03}, 11.5, -20.35285266530342, 99.042848218529908},
    {"NaturalStrain2", {11.2, 160}, 6.72, 136.22016633759752, 402.88683300426418},
    {"NaturalStrain2", {11.2, 160}, 9.52, 30.591798493698807, 218.82709261134587},
    {"NaturalStrain2", {11.2, 160}, 12.88, -19.445139808717732, 119.68529497389096},
    {"NaturalStrain3", {74.7, 160.3, 4.62}, 44.82, 227.80252108017477, 852.53520511848038},
    {"NaturalStrain3", {74.7, 160.3, 4.62}, 63.495, 37.174357676644443, 306.06338723435326},
    {"NaturalStrain3", {74.7, 160.3, 4.62}, 85.905, -15.914749551201293, 72.434764248474011},
    {"NaturalStrain4", {10, 200, 4.5, -0.03}, 6.0, 306.7714399034057, 1228.8820542266772},
    {"NaturalStrain4", {10, 200, 4.5, -0.03}, 8.5, 46.639354037865858, 389.18537246821995},
    {"NaturalStrain4", {10, 200, 4.5, -0.03}, 11.5, -20.356775296464084, 99.159793411013824},
    {"Vinet", {16.26, 90, 5.6}, 9.756, 175.0405876374205, 770.57030929055891},
    {"Vinet", {16.26, 90, 5.6}, 13.821, 22.830098621833482, 201.66627580296847},
    {"Vinet", {16.26, 90, 5.6}, 18.699, -8.4413858698170577, 35.847456835401165},
    {"Murnaghan", {40, 120, 4.3}, 24.0, 223.08648809016274, 1079.2718987876998},
    {"Murnaghan", {40, 120, 4.3}, 34.0, 28.225138721369247, 241.36809650188776},
    {"Murnaghan", {40, 120, 4.3}, 46.0, -12.606249372991119, 65.793127696138187},
    {"Murnaghan", {40, 120, 0}, 24.0, 61.299074851918882, 120.0},
    {"Murnaghan", {40, 120, 0}, 34.0, 19.50227153973299, 120.0},
    {"Murnaghan", {40, 120, 0}, 46.0, -16.771433085019044, 120.0},
    {"RydbergStacey", {12, 150, 4.8, 2.9}, 7.2, 265.02004088714194, 1169.9394202360526},
    {"RydbergStacey", {12, 150, 4.8, 2.9}, 10.2, 36.063577425791906, 309.14460831515292},
    {"RydbergStacey", {12, 150, 4.8, 2.9}, 13.8, -15.008017929067836, 71.621476140627035},
    {"Baonza", {20, 100, 4.5}, 12.0, 163.9489222527691, 688.62163200960966},
    {"Baonza", {20, 100, 4.5}, 17.0, 23.538962870744503, 198.94266721836657},
    {"Baonza", {20, 100, 4.5}, 23.0, -10.267198169358756, 51.342631432274768},
    {"Morse3", {20, 100, 4.7}, 12.0, 159.64560751214978, 650.17777156780248},
    {"Morse3", {20, 100, 4.7}, 17.0, 23.661234552889661, 199.37106749329422},
    {"Morse3", {20, 100, 4.7}, 23.0, -10.016010559605526, 47.4466662215531},
    {"SunMorse3", {20, 100, 4.4}, 12.0, 146.04594476408696, 565.67110630629196},
    {"SunMorse3", {20, 100, 4.4}, 17.0, 23.063127431441506, 190.52196436571187},
    {"SunMorse3", {20, 100, 4.4}, 23.0, -10.21917569330496, 49.813584544139868},
    {"SunMorse4", {20, 100, 4.4}, 12.0, 149.62711206421549, 593.31141567214642},
    {"SunMorse4", {20, 100, 4.4}, 17.0, 23.121996779505957, 191.72736386676848},
    {"SunMorse4", {20, 100, 4.4}, 23.0, -10.239069658102173, 50.197487479758026},
    {"ModifiedTait", {22.5, 130, 4.2, -0.033}, 13.5, 182.00178963961647, 673.90902770262758},
    {"ModifiedTait", {22.5, 130, 4.2, -0.033}, 19.125, 29.659639690290818, 243.57764932185331},
    {"ModifiedTait", {22.5, 130, 4.2, -0.033}, 25.875, -13.577005275944632, 69.224731558231385},
    {"Holzapfel", {16.5, 160, 4.6, 1, 26}, 9.9, 198.43159199551621, 668.11282531517929},
    {"Holzapfel", {16.5, 160, 4.6, 1, 26}, 14.025, 36.277444199868099, 290.14728494779982},
    {"Holzapfel", {16.5, 160, 4.6, 1, 26}, 18.975, -15.472877120162142, 63.391165059478654},
};

class IsothermalValues : public ::testing::TestWithParam<ValueCase> {};

TEST_P(IsothermalValues, MatchIndependentValues) {
  const ValueCase& c = GetParam();
  const RtModel model = valid_model(c.name, c.parameters);
  const auto pressure = model.pressure(c.volume);
  const auto bulk_modulus = model.bulk_modulus(c.volume);
  ASSERT_TRUE(pressure.has_value()) << pressure.error().to_string();
  ASSERT_TRUE(bulk_modulus.has_value()) << bulk_modulus.error().to_string();
  EXPECT_NEAR(*pressure, c.pressure, 1e-12 * std::abs(c.pressure));
  EXPECT_NEAR(*bulk_modulus, c.bulk_modulus, 1e-12 * c.bulk_modulus);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, IsothermalValues, ::testing::ValuesIn(value_cases),
                         [](const auto& info) { return info.param.name + "_" + std::to_string(info.index); });

// At V0 the strain vanishes exactly, so these forms return 0 and K0 without
// rounding.
TEST(IsothermalValues, ReferenceStateIsExactWhereTheStrainVanishes) {
  for (const auto& c : all_model_cases()) {
    if (c.name == "Baonza" || c.name == "ModifiedTait") continue;
    const RtModel model = valid_model(c.name, c.parameters);
    EXPECT_EQ(*model.pressure(model.v0()), 0.0) << c.name;
    if (c.name == "Morse3" || c.name == "SunMorse3" || c.name == "SunMorse4") continue;
    EXPECT_EQ(*model.bulk_modulus(model.v0()), model.k0()) << c.name;
  }
}

TEST(IsothermalValues, VolumeMustBePositiveAndFiniteForEveryKind) {
  const double bad_volumes[] = {0.0, -0.0, -1.0, INFINITY, -INFINITY, NAN};
  const auto expected = EosError::invalid_state("volume", "must be positive and finite");
  for (const auto& c : all_model_cases()) {
    const RtModel model = valid_model(c.name, c.parameters);
    for (const double volume : bad_volumes) {
      EXPECT_EQ(model.pressure(volume).error(), expected) << c.name << " V=" << volume;
      EXPECT_EQ(model.bulk_modulus(volume).error(), expected) << c.name << " V=" << volume;
    }
  }
}

// V0/V overflows for a subnormal volume: the strain forms give no number.
TEST(IsothermalValues, SubnormalVolumeIsNonFiniteForStrainForms) {
  const double tiny = std::numeric_limits<double>::denorm_min();
  const std::pair<const char*, std::vector<double>> models[] = {
      {"BM2", {1.0, 100.0}},
      {"BM3", {1.0, 100.0, 4.5}},
      {"BM4", {1.0, 100.0, 4.5, -0.04}},
      {"NaturalStrain2", {1.0, 100.0}},
      {"NaturalStrain3", {1.0, 100.0, 4.5}},
      {"NaturalStrain4", {1.0, 100.0, 4.5, -0.04}},
  };
  for (const auto& [name, parameters] : models) {
    const RtModel model = valid_model(name, parameters);
    EXPECT_EQ(model.pressure(tiny).error(), EosError::non_finite_result()) << name;
    EXPECT_EQ(model.bulk_modulus(tiny).error(), EosError::non_finite_result()) << name;
  }
}

TEST(IsothermalValues, MurnaghanWithZeroK0PrimeIsLogarithmic) {
  for (const double k0_prime : {0.0, -0.0}) {
    const auto model = *isothermal::Murnaghan::make(40.0, 120.0, k0_prime);
    for (const double volume : {10.0, 30.0, 55.0}) {
      EXPECT_DOUBLE_EQ(*model.pressure(volume), 120.0 * std::log(40.0 / volume));
      EXPECT_EQ(*model.bulk_modulus(volume), 120.0);
    }
  }
}

// Volumes beyond a model's domain are a state error, not a non-finite result.
TEST(IsothermalValues, DomainLimits) {
  // x = ((V/V0 + a) - 1)/a vanishes at V/V0 = 1 - a, inside the volume axis
  // when 0 < a < 1 (here a positive K0'').
  const auto tait = *isothermal::ModifiedTait::make(22.5, 130.0, 4.2, 0.01);
  ASSERT_LT(tait.a, 1.0);
  ASSERT_GT(tait.a, 0.0);
  const double edge = (1.0 - tait.a) * 22.5;
  const auto outside_tait = EosError::invalid_state("volume", "is outside the modified Tait EOS domain");
  EXPECT_EQ(tait.pressure(edge).error(), outside_tait);
  EXPECT_EQ(tait.bulk_modulus(0.5 * edge).error(), outside_tait);
  EXPECT_TRUE(tait.pressure(1.01 * edge).has_value());

  // y = Psp^0.15 - ln(V/V0) 0.15 / A reaches zero at V = V0 exp(Psp^0.15 A / 0.15).
  const auto baonza = *isothermal::Baonza::make(20.0, 100.0, 4.5);
  const double psp = 100.0 * 0.85 / 4.5;
  const double spinodal_volume = 20.0 * std::exp(std::pow(psp, 0.15) * std::pow(psp, 0.85) / 100.0 / 0.15);
  const auto outside_baonza =
      EosError::invalid_state("volume", "is outside the Baonza EOS pseudospinodal domain");
  EXPECT_EQ(baonza.pressure(1.001 * spinodal_volume).error(), outside_baonza);
  EXPECT_EQ(baonza.bulk_modulus(2.0 * spinodal_volume).error(), outside_baonza);
  const auto near_spinodal = baonza.pressure(0.999 * spinodal_volume);
  ASSERT_TRUE(near_spinodal.has_value());
  EXPECT_NEAR(*near_spinodal, -psp, 1e-3 * psp);
}

}  // namespace
}  // namespace nivaltus
