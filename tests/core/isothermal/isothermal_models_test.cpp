// The fifteen isothermal models through RtModel.

#include <gtest/gtest.h>

#include <cstring>

#include "core/rt_model.hpp"
#include "tests/core/test_support.hpp"

namespace nivaltus {
namespace {

using namespace test;

// Same kind and the same record, bit for bit (every record is doubles only).
bool same_bits(const RtModel& a, const RtModel& b) {
  if (a.kind() != b.kind()) return false;
  return std::visit(
      [&b](const auto& record) {
        using Record = std::remove_cvref_t<decltype(record)>;
        return std::memcmp(&record, b.get_if<Record>(), sizeof(Record)) == 0;
      },
      a.variant());
}

// P and K at 0.6 V0 by python3 + mpmath at 50 digits from the textbook P of
// each model, K = -V dP/dV by mpmath.diff of that P.
struct ModelCase {
  std::string name;
  std::vector<double> parameters;
  double pressure, bulk_modulus;
};

const ModelCase model_cases[] = {
    {"Baonza", {20, 100, 4.5}, 163.9489222527691, 688.62163200960966},
    // A vanishing K0' tends to K0 ln(V0/V) = 51.08256237659907..., K0.
    {"Baonza", {20, 100, 1e-6}, 51.082575423741794, 100.00005108257312},
    {"Baonza", {20, 100, 1e-300}, 51.08256237659907, 100.0},
    {"BM2", {11.2, 160}, 228.13229079662557, 907.16764088179267},
    {"BM3", {74.7, 160.3, 4.62}, 271.68024790534861, 1179.936431480843},
    {"BM4", {10, 200, 4.5, -0.03}, 304.592517152441, 1200.7427534197309},
    {"Morse3", {20, 100, 4.7}, 159.64560751214978, 650.17777156780248},
    {"Murnaghan", {40, 120, 4.3}, 223.08648809016274, 1079.2718987876998},
    {"Murnaghan", {40, 120, 0.0}, 61.299074851918881985, 120.0},  // 120 ln(40/24)
    {"ModifiedTait", {22.5, 130, 4.2, -0.033}, 182.00178963961647, 673.90902770262758},
    {"NaturalStrain2", {11.2, 160}, 136.22016633759752, 402.88683300426418},
    {"NaturalStrain3", {74.7, 160.3, 4.62}, 227.80252108017477, 852.53520511848038},
    {"NaturalStrain4", {10, 200, 4.5, -0.03}, 306.7714399034057, 1228.8820542266772},
    {"RydbergStacey", {12, 150, 4.8, 3.5}, 271.64053259775988829, 1224.6838124872624867},  // eta = -2.8
    {"SunMorse3", {20, 100, 4.4}, 146.04594476408696, 565.67110630629196},
    {"SunMorse4", {20, 100, 4.4}, 149.62711206421549, 593.31141567214642},
    {"Vinet", {16.26, 90, 5.6}, 175.0405876374205, 770.57030929055891},
    {"Holzapfel", {16.5, 160, 4.6, 1, 26}, 198.43159199551621, 668.11282531517929},
};

// The values; P(V0) = 0, K(V0) = K0, K = -V dP/dV and dK/dP at V0 = K0';
// the volume is checked by every model.
TEST(IsothermalModels, ValuesIdentitiesAndVolumeChecks) {
  for (const ModelCase& c : model_cases) {
    SCOPED_TRACE(c.name);
    const RtModel model = build_isothermal(c.name, c.parameters).value();
    const double v0 = model.v0();
    EXPECT_TRUE(relatively_near(model.pressure(0.6 * v0), c.pressure, 1e-12));
    EXPECT_TRUE(relatively_near(model.bulk_modulus(0.6 * v0), c.bulk_modulus, 1e-12));
    EXPECT_NEAR(value_of(model.pressure(v0)), 0.0, 1e-12 * model.k0());
    EXPECT_TRUE(relatively_near(model.bulk_modulus(v0), model.k0(), 1e-12));
    const auto pressure = [&model](double x) { return model.pressure(x); };
    for (const double v : {0.6 * v0, 0.85 * v0, 1.15 * v0}) {
      EXPECT_TRUE(relatively_near(model.bulk_modulus(v), -v * derivative(pressure, v, 1e-4), 1e-8)) << v;
    }
    const double k0_prime = c.name == "BM2" ? 4.0 : c.name == "NaturalStrain2" ? 2.0 : c.parameters[2];
    EXPECT_NEAR(value_of(model.bulk_modulus_derivative(v0, 1e-4)), k0_prime, 1e-6);
    EXPECT_TRUE(fails_with(model.bulk_modulus(nan), bad_state("volume")));
  }
  // Murnaghan with K0' = -0.0 is the logarithmic limit as well.
  EXPECT_EQ(RtModel(*isothermal::Murnaghan::make(40.0, 120.0, -0.0)).bulk_modulus(24.0), 120.0);
}

TEST(IsothermalModels, DomainLimits) {
  // Modified Tait: x = ((V/V0 + a) - 1)/a vanishes at V = (1 - a) V0;
  // Baonza: y = Psp^0.15 - ln(V/V0) 0.15 / A vanishes at
  // V = V0 exp(Psp^0.15 A / 0.15), where P tends to -Psp.
  const auto tait = *isothermal::ModifiedTait::make(22.5, 130.0, 4.2, 0.01);
  const double edge = (1.0 - tait.a) * 22.5;
  EXPECT_TRUE(
      fails_with(tait.bulk_modulus(edge), bad_state("volume", "is outside the modified Tait EOS domain")));
  EXPECT_TRUE(tait.pressure(1.01 * edge).has_value());
  const auto baonza = *isothermal::Baonza::make(20.0, 100.0, 4.5);
  const double psp = 100.0 * 0.85 / 4.5;
  const double spinodal = 20.0 * std::exp(std::pow(psp, 0.15) * std::pow(psp, 0.85) / 100.0 / 0.15);
  EXPECT_TRUE(fails_with(baonza.pressure(1.001 * spinodal),
                         bad_state("volume", "is outside the Baonza EOS pseudospinodal domain")));
  EXPECT_NEAR(value_of(baonza.pressure(0.999 * spinodal)), -psp, 1e-3 * psp);
}

TEST(IsothermalConstructors, Checks) {
  const std::string_view morse = "Morse3 requires K0_prime != 1";
  const std::string_view tait = "produce a singular modified Tait EOS";
  const std::tuple<const char*, std::vector<double>, const char*, std::string_view> cases[] = {
      // Any finite K0' is accepted, Baonza's must be positive.
      {"BM3", {10, 100, -inf}, "K0_prime", phrase::finite},
      {"Baonza", {10, 100, -0.0}, "K0_prime", phrase::positive_finite},
      // |K0' - 1| <= epsilon and |(k K0' + 1)/3| <= epsilon, bounds included.
      {"Morse3", {10, 100, 1.0000000000000002}, "K0_prime", morse},
      {"SunMorse4", {10, 100, -0.25}, "K0_prime", "Sun-Morse requires (n*K0_prime+1)/3 != 0"},
      // s = 1 + K0', d = K0'^2 + K0' - K0 K0'', t = K0 K0'' + s must not vanish.
      {"ModifiedTait", {10, 100, -1.0, 0.5}, "K0_prime/K0_double_prime", tait},
      {"ModifiedTait", {10, 10, 4.0, 2.0}, "K0_prime/K0_double_prime", tait},
      {"ModifiedTait", {10, 10, 4.0, -0.5}, "K0_prime/K0_double_prime", tait},
      // a, b and c must come out finite and non-zero, with V0 inside the
      // domain: K0 K0'' overflowing (a = 0, c NaN; b = -inf as well), K0'^2
      // overflowing (c = 0), a so small that 1 + a rounds to 1.
      {"ModifiedTait", {1, 160, 4.0, 1.2e306}, "K0_prime/K0_double_prime", tait},
      {"ModifiedTait", {1, 1e300, 4.0, 1e10}, "K0_prime/K0_double_prime", tait},
      {"ModifiedTait", {1, 160, -0.5, 1e308}, "K0_prime/K0_double_prime", tait},
      {"ModifiedTait", {10, 100, 1e200, 0.0}, "K0_prime/K0_double_prime", tait},
      {"ModifiedTait", {10, 100, 4.0, 1e15}, "K0_prime/K0_double_prime", tait},
      {"Holzapfel", {10, 100, 4, 1.0, -26.0}, "Z", phrase::positive_finite},
  };
  for (const auto& [name, parameters, field, message] : cases) {
    EXPECT_TRUE(fails_with(build_isothermal(name, parameters), bad_parameter(field, message))) << name;
  }
  EXPECT_TRUE(build_isothermal("Morse3", {10, 100, 1.0000000000000004}).has_value());
  // A record built directly with a singular K0' does not divide by zero.
  EXPECT_TRUE(
      fails_with(isothermal::Morse3{10.0, 100.0, 1.0}.bulk_modulus(9.0), bad_parameter("K0_prime", morse)));
}

// Holzapfel's dK/dP, closed form and central difference, against python3 +
// mpmath (50 digits): (dK/dV)/(dP/dV) of the textbook P.
TEST(BulkModulusDerivative, HolzapfelValuesAndChecks) {
  const auto model = *isothermal::Holzapfel::make(16.5, 160.0, 4.6, 1.0, 26.0);
  for (const auto& [v, k_prime] :
       {std::pair{11.55, 2.2911368001908257}, {16.5, 4.6}, {18.15, 7.27030050351058}}) {
    const double k = value_of(model.bulk_modulus(v));
    EXPECT_TRUE(relatively_near(
        isothermal::holzapfel_bulk_modulus_derivative_analytical(16.5, v, k, 160.0, model.c0, model.c2),
        k_prime, 1e-11))
        << v;
    EXPECT_TRUE(relatively_near(model.bulk_modulus_derivative(v, 1e-4), k_prime, 1e-6)) << v;
  }
  // The bulk modulus given to the closed form must be finite: an infinite
  // one would otherwise give a derivative of zero.
  EXPECT_TRUE(fails_with(
      isothermal::holzapfel_bulk_modulus_derivative_analytical(16.5, 16.5, inf, 160.0, model.c0, model.c2),
      bad_parameter("KT", phrase::finite)));
  EXPECT_TRUE(
      fails_with(model.bulk_modulus_derivative(10.0, 1.0), bad_parameter("eps", phrase::smaller_than_one)));
  // (1 + eps) V overflows: the upper volume is reported as a state error.
  EXPECT_TRUE(fails_with(model.bulk_modulus_derivative(1e308, 0.9), bad_state("volume")));
  EXPECT_TRUE(fails_with(RtModel(model).bulk_modulus_derivative(10.0, -0.0), bad_state("relative_step")));
}

// Rebuilt through the kind's own constructor: the same record as a fresh
// build. Only (V0, K0, K0') kinds shift K0'; a zero shift copies unchecked.
TEST(RtModelRebuilds, ReferenceStateAndPressureDerivativeShift) {
  const EosError no_shift =
      bad_parameter("kprime_log_coefficient", "reference EOS does not support a pressure-derivative shift");
  for (const ModelCase& c : model_cases) {
    SCOPED_TRACE(c.name);
    const RtModel model = build_isothermal(c.name, c.parameters).value();
    std::vector<double> moved = c.parameters;
    moved[0] *= 0.9;
    moved[1] *= 1.1;
    EXPECT_TRUE(
        same_bits(*model.with_reference_state(moved[0], moved[1]), build_isothermal(c.name, moved).value()));
    EXPECT_TRUE(fails_with(model.with_reference_state(-1.0, nan), bad_parameter("V0")));
    EXPECT_TRUE(fails_with(model.with_reference_state(tiny, -0.0), bad_parameter("K0")));
    EXPECT_TRUE(same_bits(*model.with_pressure_derivative_shift(-0.0), model));
    if (c.parameters.size() == 3) {
      const RtModel expected =
          *build_isothermal(c.name, {c.parameters[0], c.parameters[1], c.parameters[2] + 0.5});
      EXPECT_TRUE(same_bits(*model.with_pressure_derivative_shift(0.5), expected));
    } else {
      EXPECT_TRUE(fails_with(model.with_pressure_derivative_shift(nan), no_shift));
    }
  }
  EXPECT_TRUE(fails_with(build_isothermal("Morse3", {10, 100, 4.0})->with_pressure_derivative_shift(-3.0),
                         bad_parameter("K0_prime", "Morse3 requires K0_prime != 1")));
  EXPECT_TRUE(RtModel(isothermal::Baonza{0.0, 100.0, 4.0}).with_pressure_derivative_shift(0.0).has_value());
}

}  // namespace
}  // namespace nivaltus
