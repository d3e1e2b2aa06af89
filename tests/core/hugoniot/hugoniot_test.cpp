// The linear Us-up Hugoniot through its quantity names.

#include <gtest/gtest.h>

#include <cmath>
#include <string_view>

#include "core/hugoniot/hugoniot_quantity.hpp"
#include "core/hugoniot/linear_us_up_hugoniot.hpp"
#include "tests/core/test_support.hpp"

namespace nivaltus::hugoniot {
namespace {

using namespace test;
using namespace std::literals;

const LinearUsUpHugoniot copper = *LinearUsUpHugoniot::make(0.1122, 8.93, 3.94, 1.49, 0.0);
const LinearUsUpHugoniot soft = *LinearUsUpHugoniot::make(1.0, 2.7, 5.35, 0.9, 0.5);  // s < 1

// P -> V inverts V -> P on the compression branch to rounding, from the
// weakest shock to s eta near 0.97, and V0 is the state at P0 and at up = 0
// exactly. (Every name against the jump conditions: the Python tests.)
TEST(Hugoniot, InversionChecksAndNames) {
  for (const LinearUsUpHugoniot& h : {copper, soft}) {
    for (double ratio : {1.0 - 1e-12, 0.999, 0.9, 0.75, 0.5, 0.35}) {
      const double v = h.v0 * ratio;
      EXPECT_TRUE(relatively_near(h.volume_at_pressure(value_of(h.pressure(v))), v, 1e-12)) << ratio;
    }
  }
  EXPECT_EQ(soft.pressure(1.0), 0.5);
  EXPECT_EQ(soft.volume_at_pressure(0.5), 1.0);
  EXPECT_EQ(soft.volume_from_particle_velocity(-0.0), 1.0);
  const std::vector<Check> checks = {{0, inf, "V0"}, {3, -0.0, "s"}, {4, -inf, "P0", phrase::finite}};
  expect_check_order({1.0, 1.0, 1.0, 1.0, -5.0}, checks,
                     [](auto... p) { return LinearUsUpHugoniot::make(p...); });
  // Every volume quantity checks V, then the compression limit s eta < 1
  // (V0/2 for s = 2); s <= 1 leaves every volume in (0, V0] in range.
  const auto h = *LinearUsUpHugoniot::make(2.0, 1.0, 1.0, 2.0, 0.0);
  const auto s_one = *LinearUsUpHugoniot::make(2.0, 1.0, 1.0, 1.0, 0.0);
  for (std::string_view name : {"pressure", "density", "shock_velocity", "particle_velocity",
                                "tangent_modulus", "specific_internal_energy_change"}) {
    EXPECT_TRUE(fails_with(evaluate_hugoniot(h, name, nan), bad_state("volume")));
    EXPECT_TRUE(fails_with(evaluate_hugoniot(h, name, std::nextafter(2.0, 3.0)),
                           bad_state("volume", "must not exceed V0 on a compression Hugoniot")));
    EXPECT_TRUE(fails_with(evaluate_hugoniot(h, name, 1.0), EosError::outside_invertible_range())) << name;
    EXPECT_TRUE(evaluate_hugoniot(h, name, std::nextafter(1.0, 2.0)).has_value()) << name;
    EXPECT_TRUE(evaluate_hugoniot(s_one, name, 1e-12).has_value()) << name;
  }
  // Particle velocities: finite, then non-negative; for s < 1, up >=
  // c0 / (1 - s) = 6 leaves no volume, but a pressure.
  const auto half = *LinearUsUpHugoniot::make(1.0, 2.0, 3.0, 0.5, 0.25);
  for (std::string_view name : {"volume_from_particle_velocity", "pressure_from_particle_velocity"}) {
    EXPECT_TRUE(
        fails_with(evaluate_hugoniot(half, name, -inf), bad_parameter("particle_velocity", phrase::finite)));
    EXPECT_TRUE(fails_with(evaluate_hugoniot(half, name, -tiny),
                           bad_state("particle_velocity", phrase::non_negative)));
  }
  EXPECT_TRUE(fails_with(half.volume_from_particle_velocity(6.0), EosError::outside_invertible_range()));
  EXPECT_TRUE(half.volume_from_particle_velocity(5.9).has_value());
  EXPECT_EQ(half.pressure_from_particle_velocity(100.0), 100.0 * (53.0 * 2.0) + 0.25);
  EXPECT_TRUE(fails_with(LinearUsUpHugoniot::make(1.0, 1e300, 1e300, 1.5, 0.0)->pressure(0.5), non_finite()));
  // Pressures: finite, at least P0, and below the pressure at V = 0 for s < 1.
  for (const auto& [h, pressure, expected] :
       {std::tuple{&copper, nan, bad_parameter("pressure", phrase::finite)},
        {&copper, -1e-300, EosError::outside_invertible_range()},
        {&soft, 1e30, EosError::outside_invertible_range()}}) {
    EXPECT_TRUE(fails_with(h->volume_at_pressure(pressure), expected)) << pressure;
  }
  // Pressures so large that 4 s x overflows reach the same limit eta -> 1/s as
  // large finite ones, never V0: at s eta = 1 out of range, else near V0 (1 - 1/s).
  for (double slope : {1.0, 1.2, 1.5, 3.0}) {
    const auto steep = *LinearUsUpHugoniot::make(2.0, 1.0, 1.0, slope, 0.0);
    const EosResult<double> overflowing = steep.volume_at_pressure(8e307);
    const EosResult<double> large = steep.volume_at_pressure(1e300);
    EXPECT_EQ(overflowing.has_value(), large.has_value()) << slope;
    if (large) EXPECT_TRUE(relatively_near(overflowing, *large, 1e-12)) << slope;
    else EXPECT_TRUE(fails_with(overflowing, EosError::outside_invertible_range())) << slope;
  }
  // rho0 c0^2 overflows, yet x = (P - P0)/(rho0 c0^2) does not, whether rho0
  // or c0 is the small factor: the volume must still solve
  // x (1 - s eta)^2 = eta, neither rounding to V0 nor refused.
  for (const auto& [rho0, c0, pressure] : {std::tuple{1e110, 1e100, 1e300}, {1e110, 1e100, 1e308},
                                           {1e-10, 1e160, 1e300}, {0.5, 1.9e154, 1.7e308}, {1e-200, 1e255, 1e300}}) {
    const auto h = *LinearUsUpHugoniot::make(10.0, rho0, c0, 1.5, 0.0);
    const double x = pressure / c0 / c0 / rho0;  // safe for these rows only
    const double eta = 1.0 - value_of(h.volume_at_pressure(pressure)) / 10.0;
    EXPECT_TRUE(relatively_near(x * (1.0 - 1.5 * eta) * (1.0 - 1.5 * eta), eta, 1e-5)) << rho0;
  }
  EXPECT_EQ(LinearUsUpHugoniot::make(10.0, 1e110, 1e100, 1.5, 0.0)->volume_at_pressure(1.0), 10.0);
  for (std::string_view name : {"Volume"sv, "shock_velocity_from"sv, "pressure\0"sv}) {
    EXPECT_FALSE(hugoniot_quantity_from_name(name).has_value()) << name;
    EXPECT_TRUE(fails_with(evaluate_hugoniot(copper, name, 0.1),
                           bad_state("quantity", "unknown shock Hugoniot quantity")));
  }
}

}  // namespace
}  // namespace nivaltus::hugoniot
