#include "core/hugoniot/linear_us_up_hugoniot.hpp"

#include <gtest/gtest.h>

#include "tests/core/test_support.hpp"

namespace nivaltus::hugoniot {
namespace {

using namespace test;

using Operation = EosResult<double> (LinearUsUpHugoniot::*)(double) const;

LinearUsUpHugoniot make(double v0, double rho0, double c0, double s, double p0) {
  return *LinearUsUpHugoniot::make(v0, rho0, c0, s, p0);
}

TEST(LinearUsUpHugoniot, ChecksInArgumentOrder) {
  const std::vector<Check> checks = {{0, inf, "V0", phrase::positive_finite},
                                     {1, -1.0, "rho0", phrase::positive_finite},
                                     {2, nan, "c0", phrase::positive_finite},
                                     {3, -0.0, "s", phrase::positive_finite},
                                     {4, -inf, "P0", phrase::finite}};
  expect_check_order({1.0, 1.0, 1.0, 1.0, -5.0}, checks,
                     [](auto... p) { return LinearUsUpHugoniot::make(p...); });
  // Every volume operation checks V, then the compression limit s eta < 1
  // (V0/2 for s = 2); s <= 1 leaves every volume in (0, V0] in range.
  const auto h = make(2.0, 1.0, 1.0, 2.0, 0.0);
  for (Operation op :
       {&LinearUsUpHugoniot::pressure, &LinearUsUpHugoniot::density, &LinearUsUpHugoniot::shock_velocity,
        &LinearUsUpHugoniot::particle_velocity, &LinearUsUpHugoniot::tangent_modulus,
        &LinearUsUpHugoniot::specific_internal_energy_change}) {
    for (double v : {0.0, nan, inf}) EXPECT_TRUE(fails_with((h.*op)(v), bad_state("volume"))) << v;
    EXPECT_TRUE(fails_with((h.*op)(std::nextafter(2.0, 3.0)),
                           bad_state("volume", "must not exceed V0 on a compression Hugoniot")));
    for (double v : {1.0, 1e-300}) EXPECT_TRUE(fails_with((h.*op)(v), EosError::outside_invertible_range()));
    EXPECT_TRUE((h.*op)(std::nextafter(1.0, 2.0)).has_value());
    EXPECT_TRUE((make(2.0, 1.0, 1.0, 1.0, 0.0).*op)(1e-12).has_value());
  }
}

// States from the jump conditions written in the particle velocity:
//   Us = c0 + s up, V = V0 (1 - up / Us), P = P0 + rho0 Us up,
//   rho = rho0 V0 / V, E = up^2 / 2 + P0 up / (rho0 Us),
// which is (P + P0)(V0 - V)/2 when rho0 V0 = 1.
TEST(LinearUsUpHugoniot, StatesMatchJumpConditions) {
  struct Case {
    double v0, rho0, c0, s, p0, up;
  };
  const Case cases[] = {
      {0.25, 4.0, 5.0, 1.5, 0.0, 20.0},  // rho0 = 1 / V0, strong shock
      {1.0, 2.7, 5.35, 0.9, 0.5, 30.0},  // s < 1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.up);
    const auto h = make(c.v0, c.rho0, c.c0, c.s, c.p0);
    const double us = c.c0 + c.s * c.up;
    const double v = c.v0 * (1.0 - c.up / us);
    const double p = c.p0 + c.rho0 * us * c.up;
    const double e = 0.5 * c.up * c.up + c.p0 * c.up / (c.rho0 * us);
    EXPECT_TRUE(c.rho0 * c.v0 != 1.0 || relatively_near(e, 0.5 * (p + c.p0) * (c.v0 - v), 1e-13));
    EXPECT_TRUE(relatively_near(h.pressure(v), p, 1e-13));
    EXPECT_TRUE(relatively_near(h.shock_velocity(v), us, 1e-13));
    EXPECT_TRUE(relatively_near(h.particle_velocity(v), c.up, 1e-13));
    EXPECT_TRUE(relatively_near(h.density(v), c.rho0 * c.v0 / v, 1e-14));
    EXPECT_TRUE(relatively_near(h.specific_internal_energy_change(v), e, 1e-12));
    EXPECT_TRUE(relatively_near(h.volume_from_particle_velocity(c.up), v, 1e-14));
    EXPECT_TRUE(relatively_near(h.pressure_from_particle_velocity(c.up), p, 1e-14));
    const auto pressure = [&h](double x) { return h.pressure(x); };
    EXPECT_TRUE(relatively_near(h.tangent_modulus(v), -v * derivative(pressure, v, 1e-5), 1e-8));
  }
  EXPECT_EQ(make(0.7, 5.3, 4.1, 1.4, 2.5).pressure(0.7), 2.5);
}

TEST(LinearUsUpHugoniot, ParticleVelocityChecksAndLimit) {
  const auto h = make(1.0, 2.0, 3.0, 0.5, 0.25);
  for (Operation op : {&LinearUsUpHugoniot::volume_from_particle_velocity,
                       &LinearUsUpHugoniot::pressure_from_particle_velocity}) {
    EXPECT_TRUE(fails_with((h.*op)(-inf), bad_parameter("particle_velocity", phrase::finite)));
    EXPECT_TRUE(fails_with((h.*op)(-tiny), bad_state("particle_velocity", phrase::non_negative)));
  }
  EXPECT_EQ(h.volume_from_particle_velocity(-0.0), 1.0);
  // s < 1: up >= c0 / (1 - s) = 6 leaves no volume, but a pressure.
  EXPECT_TRUE(fails_with(h.volume_from_particle_velocity(6.0), EosError::outside_invertible_range()));
  EXPECT_TRUE(h.volume_from_particle_velocity(5.9).has_value());
  EXPECT_EQ(h.pressure_from_particle_velocity(100.0), 100.0 * (53.0 * 2.0) + 0.25);
  EXPECT_TRUE(fails_with(make(1.0, 1e300, 1e300, 1.5, 0.0).pressure(0.5), non_finite()));
}

}  // namespace
}  // namespace nivaltus::hugoniot
