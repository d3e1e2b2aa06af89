#include "core/hugoniot/linear_us_up_hugoniot.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace nivaltus::hugoniot {
namespace {

using Kind = EosError::Kind;
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

using VolumeOperation = EosResult<double> (LinearUsUpHugoniot::*)(double) const;
constexpr VolumeOperation volume_operations[] = {
    &LinearUsUpHugoniot::pressure,        &LinearUsUpHugoniot::density,
    &LinearUsUpHugoniot::shock_velocity,  &LinearUsUpHugoniot::particle_velocity,
    &LinearUsUpHugoniot::tangent_modulus, &LinearUsUpHugoniot::specific_internal_energy_change,
};

LinearUsUpHugoniot make(double v0, double rho0, double c0, double s, double p0) {
  return *LinearUsUpHugoniot::make(v0, rho0, c0, s, p0);
}

TEST(LinearUsUpHugoniotMake, ChecksInArgumentOrder) {
  struct Case {
    double v0, rho0, c0, s, p0;
    const char* field;
    const char* message;
  };
  const Case cases[] = {
      {0.0, 0.0, 1.0, 1.0, 0.0, "V0", "must be positive and finite"},
      {inf, 1.0, 1.0, 1.0, 0.0, "V0", "must be positive and finite"},
      {1.0, -1.0, 1.0, 1.0, nan, "rho0", "must be positive and finite"},
      {1.0, 1.0, nan, 1.0, 0.0, "c0", "must be positive and finite"},
      {1.0, 1.0, 1.0, 0.0, 0.0, "s", "must be positive and finite"},
      {1.0, 1.0, 1.0, -0.0, 0.0, "s", "must be positive and finite"},
      {1.0, 1.0, 1.0, 1.0, nan, "P0", "must be finite"},
      {1.0, 1.0, 1.0, 1.0, -inf, "P0", "must be finite"},
  };
  for (const Case& c : cases) {
    const auto result = LinearUsUpHugoniot::make(c.v0, c.rho0, c.c0, c.s, c.p0);
    ASSERT_FALSE(result) << c.field;
    EXPECT_EQ(result.error(), EosError::invalid_parameter(c.field, c.message));
  }
  EXPECT_TRUE(LinearUsUpHugoniot::make(1.0, 1.0, 1.0, 1.0, -5.0));
}

TEST(LinearUsUpHugoniot, VolumeChecksOpenEveryOperation) {
  const auto h = make(2.0, 3.0, 4.0, 1.5, 0.0);
  const EosError not_positive = EosError::invalid_state("volume", "must be positive and finite");
  const EosError above_v0 = EosError::invalid_state("volume", "must not exceed V0 on a compression Hugoniot");
  for (VolumeOperation op : volume_operations) {
    for (double v : {0.0, -0.0, -1.0, nan, inf}) EXPECT_EQ((h.*op)(v).error(), not_positive) << v;
    EXPECT_EQ((h.*op)(std::nextafter(2.0, 3.0)).error(), above_v0);
    EXPECT_TRUE((h.*op)(2.0));
  }
}

TEST(LinearUsUpHugoniot, ReferenceStateAtV0) {
  const auto h = make(0.7, 5.3, 4.1, 1.4, 2.5);
  EXPECT_EQ(*h.pressure(0.7), 2.5);
  EXPECT_EQ(*h.shock_velocity(0.7), 4.1);
  EXPECT_EQ(*h.particle_velocity(0.7), 0.0);
  EXPECT_NEAR(*h.density(0.7), 5.3, 1e-15 * 5.3);
  EXPECT_NEAR(*h.tangent_modulus(0.7), 5.3 * 4.1 * 4.1, 1e-14 * 5.3 * 4.1 * 4.1);
  EXPECT_NEAR(*h.specific_internal_energy_change(0.7), 0.0, 1e-15);
}

// States from the jump conditions written in the particle velocity:
//   Us = c0 + s up, V = V0 (1 - up / Us), P = P0 + rho0 Us up,
//   rho = rho0 V0 / V, E = (1/rho0 - 1/rho) (P + P0) / 2 = up^2 / 2 + P0 up / (rho0 Us).
TEST(LinearUsUpHugoniot, StatesMatchJumpConditions) {
  struct Case {
    double v0, rho0, c0, s, p0, up;
  };
  const Case cases[] = {
      {0.25, 4.0, 5.0, 1.5, 0.0, 1.0},   // rho0 = 1 / V0
      {0.25, 4.0, 5.0, 1.5, 0.0, 20.0},  // strong shock
      {1.2, 7.9, 3.9, 1.2, 1e-4, 0.7},   // rho0 independent of V0
      {1.0, 2.7, 5.35, 0.9, 0.5, 30.0},  // s < 1
  };
  for (const Case& c : cases) {
    const auto h = make(c.v0, c.rho0, c.c0, c.s, c.p0);
    const double us = c.c0 + c.s * c.up;
    const double v = c.v0 * (1.0 - c.up / us);
    const double p = c.p0 + c.rho0 * us * c.up;
    const double e = 0.5 * c.up * c.up + c.p0 * c.up / (c.rho0 * us);
    if (c.rho0 * c.v0 == 1.0) {
      EXPECT_NEAR(e, 0.5 * (p + c.p0) * (c.v0 - v), 1e-13 * e);
    }
    EXPECT_NEAR(*h.pressure(v), p, 1e-13 * p) << c.up;
    EXPECT_NEAR(*h.shock_velocity(v), us, 1e-13 * us);
    EXPECT_NEAR(*h.particle_velocity(v), c.up, 1e-13 * c.up);
    EXPECT_NEAR(*h.density(v), c.rho0 * c.v0 / v, 1e-14 * c.rho0 * c.v0 / v);
    EXPECT_NEAR(*h.specific_internal_energy_change(v), e, 1e-12 * e);
    EXPECT_NEAR(*h.volume_from_particle_velocity(c.up), v, 1e-15 * c.v0);
    EXPECT_NEAR(*h.pressure_from_particle_velocity(c.up), p, 1e-14 * p);
    // Pressure from the particle velocity agrees with pressure at its volume.
    EXPECT_NEAR(*h.pressure(*h.volume_from_particle_velocity(c.up)), p, 1e-12 * p);
  }
}

TEST(LinearUsUpHugoniot, TangentModulusIsMinusVdPdV) {
  const auto h = make(1.2, 7.9, 3.9, 1.6, 0.3);
  for (double v : {1.15, 0.9, 0.6}) {
    const double step = 1e-6 * v;
    const double dp_dv = (*h.pressure(v + step) - *h.pressure(v - step)) / (2.0 * step);
    const double k = *h.tangent_modulus(v);
    EXPECT_NEAR(k, -v * dp_dv, 1e-8 * k) << v;
  }
}

TEST(LinearUsUpHugoniot, CompressionLimitIsOutsideInvertibleRange) {
  // s = 2: s eta reaches 1 at V = V0 / 2.
  const auto h = make(2.0, 1.0, 1.0, 2.0, 0.0);
  for (VolumeOperation op : volume_operations) {
    for (double v : {1.0, 0.5, 1e-300})
      EXPECT_EQ((h.*op)(v).error().kind(), Kind::OutsideInvertibleRange) << v;
    EXPECT_TRUE((h.*op)(std::nextafter(1.0, 2.0)));
  }
  // s <= 1: every volume in (0, V0] is in range (for s = 1 as long as
  // eta = 1 - V / V0 does not round to 1). At the smallest volumes the density
  // may overflow instead.
  for (double s : {1.0, 0.5}) {
    const auto soft = make(2.0, 1.0, 1.0, s, 0.0);
    for (VolumeOperation op : volume_operations) {
      for (double v : {1e-3, 1e-12}) EXPECT_TRUE((soft.*op)(v)) << s << " " << v;
    }
  }
  const auto soft = make(2.0, 1.0, 1.0, 0.5, 0.0);
  for (VolumeOperation op : volume_operations) {
    const auto result = (soft.*op)(std::numeric_limits<double>::denorm_min());
    EXPECT_TRUE(result || result.error().kind() == Kind::NonFiniteResult);
  }
}

TEST(LinearUsUpHugoniot, ParticleVelocityChecks) {
  const auto h = make(1.0, 2.0, 3.0, 0.5, 0.25);
  using ParticleOperation = EosResult<double> (LinearUsUpHugoniot::*)(double) const;
  for (ParticleOperation op : {&LinearUsUpHugoniot::volume_from_particle_velocity,
                               &LinearUsUpHugoniot::pressure_from_particle_velocity}) {
    for (double up : {nan, inf, -inf}) {
      EXPECT_EQ((h.*op)(up).error(), EosError::invalid_parameter("particle_velocity", "must be finite"));
    }
    for (double up : {-1.0, -std::numeric_limits<double>::denorm_min()}) {
      EXPECT_EQ((h.*op)(up).error(), EosError::invalid_state("particle_velocity", "must be non-negative"));
    }
  }
  for (double up : {0.0, -0.0}) {
    EXPECT_EQ(*h.volume_from_particle_velocity(up), 1.0);
    EXPECT_EQ(*h.pressure_from_particle_velocity(up), 0.25);
  }
  // s < 1: up >= c0 / (1 - s) = 6 leaves no volume, but a pressure.
  for (double up : {6.0, 100.0}) {
    EXPECT_EQ(h.volume_from_particle_velocity(up).error().kind(), Kind::OutsideInvertibleRange) << up;
    EXPECT_NEAR(*h.pressure_from_particle_velocity(up), up * (3.0 + 0.5 * up) * 2.0 + 0.25, 1e-12 * up * up);
  }
  EXPECT_TRUE(h.volume_from_particle_velocity(5.9));
}

TEST(LinearUsUpHugoniot, OverflowIsNonFiniteResult) {
  const auto h = make(1.0, 1e300, 1e300, 1.5, 0.0);
  EXPECT_EQ(h.pressure(0.5).error().kind(), Kind::NonFiniteResult);
  EXPECT_EQ(h.tangent_modulus(0.5).error().kind(), Kind::NonFiniteResult);
  EXPECT_EQ(h.specific_internal_energy_change(0.5).error().kind(), Kind::NonFiniteResult);
  EXPECT_EQ(h.pressure_from_particle_velocity(1e10).error().kind(), Kind::NonFiniteResult);
  EXPECT_EQ(make(1.0, 1.0, 1.0, 1e300, 0.0).volume_from_particle_velocity(1e300).error().kind(),
            Kind::NonFiniteResult);
}

TEST(LinearUsUpHugoniot, DebugText) {
  EXPECT_EQ(make(0.25, 4.0, 5.0, 1.5, 0.0).debug_text(),
            "LinearUsUpHugoniot { v0: 0.25, rho0: 4.0, c0: 5.0, s: 1.5, p0: 0.0 }");
  EXPECT_EQ(make(1e-5, 2.5e16, 0.1, 3.0, -0.0).debug_text(),
            "LinearUsUpHugoniot { v0: 1e-5, rho0: 2.5e16, c0: 0.1, s: 3.0, p0: -0.0 }");
}

}  // namespace
}  // namespace nivaltus::hugoniot
