#include "core/hugoniot/hugoniot_quantity.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string_view>

#include "tests/core/test_support.hpp"

namespace nivaltus::hugoniot {
namespace {

using namespace test;
using namespace std::literals;

// One shocked state from the jump conditions in the particle velocity up:
//   Us = c0 + s up, V = V0 (1 - up / Us), P = P0 + rho0 Us up,
//   rho = rho0 V0 / V, E = up^2 / 2 + P0 up / (rho0 Us).
struct JumpState {
  double us, volume, pressure, density, energy;
};

JumpState jump_state(const LinearUsUpHugoniot& h, double up) {
  const double us = h.c0 + h.s * up;
  const double volume = h.v0 * (1.0 - up / us);
  return {us, volume, h.p0 + h.rho0 * us * up, h.rho0 * h.v0 / volume,
          0.5 * up * up + h.p0 * up / (h.rho0 * us)};
}

const LinearUsUpHugoniot copper = *LinearUsUpHugoniot::make(0.1122, 8.93, 3.94, 1.49, 0.0);
const LinearUsUpHugoniot soft = *LinearUsUpHugoniot::make(1.0, 2.7, 5.35, 0.9, 0.5);

// Every name, with the input it takes and the jump-condition value it must give.
TEST(HugoniotQuantity, EveryNameGivesItsJumpConditionValue) {
  for (const LinearUsUpHugoniot& h : {copper, soft}) {
    for (double up : {0.1, 1.0, 3.0}) {
      const JumpState state = jump_state(h, up);
      struct Row {
        std::string_view name;
        double input, expected, tolerance;
      };
      const Row rows[] = {
          {"volume", state.pressure, state.volume, 1e-13},
          {"density", state.volume, state.density, 1e-13},
          {"pressure", state.volume, state.pressure, 1e-12},
          {"shock_velocity", state.volume, state.us, 1e-12},
          {"particle_velocity", state.volume, up, 1e-12},
          {"specific_internal_energy_change", state.volume, state.energy, 1e-11},
          {"volume_from_particle_velocity", up, state.volume, 1e-14},
          {"pressure_from_particle_velocity", up, state.pressure, 1e-14},
          {"shock_velocity_from_particle_velocity", up, state.us, 1e-15},
      };
      for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.name) + " at up = " + std::to_string(up));
        EXPECT_TRUE(relatively_near(evaluate_hugoniot(h, row.name, row.input), row.expected, row.tolerance));
      }
      // K = -V dP/dV along the Hugoniot.
      const auto pressure = [&h](double v) { return h.pressure(v); };
      EXPECT_TRUE(relatively_near(evaluate_hugoniot(h, "tangent_modulus", state.volume),
                                  -state.volume * derivative(pressure, state.volume, 1e-5), 1e-8));
    }
  }
}

TEST(HugoniotQuantity, NamesAreExact) {
  for (std::string_view name : {""sv, "Volume"sv, "volume "sv, " volume"sv, "volumes"sv,
                                "shock_velocity_from"sv, "pressure\0"sv, "tangent-modulus"sv}) {
    SCOPED_TRACE(std::string(name));
    EXPECT_FALSE(hugoniot_quantity_from_name(name).has_value());
    EXPECT_TRUE(fails_with(evaluate_hugoniot(copper, name, 0.1),
                           bad_state("quantity", "unknown shock Hugoniot quantity")));
  }
}

// P -> V inverts V -> P on the compression branch, exactly at P0 and to
// rounding elsewhere, from the weakest shock to s eta near 0.97.
TEST(HugoniotQuantity, VolumeInvertsPressure) {
  EXPECT_EQ(soft.volume_at_pressure(0.5), 1.0);
  for (const LinearUsUpHugoniot& h : {copper, soft}) {
    for (double ratio : {1.0 - 1e-12, 0.999, 0.9, 0.75, 0.5, 0.35}) {
      const double v = h.v0 * ratio;
      EXPECT_TRUE(relatively_near(h.volume_at_pressure(value_of(h.pressure(v))), v, 1e-12)) << ratio;
    }
  }
}

TEST(HugoniotQuantity, VolumeFailures) {
  struct Case {
    const LinearUsUpHugoniot* hugoniot;
    double pressure;
    EosError expected;
  };
  const Case cases[] = {
      {&copper, nan, bad_parameter("pressure", phrase::finite)},
      {&copper, inf, bad_parameter("pressure", phrase::finite)},
      {&copper, -1e-300, EosError::outside_invertible_range()},  // below P0 = 0
      {&soft, 0.49, EosError::outside_invertible_range()},
      // s < 1: eta reaches 1 (V = 0) at a finite pressure.
      {&soft, 1e30, EosError::outside_invertible_range()},
  };
  for (const Case& c : cases) EXPECT_TRUE(fails_with(c.hugoniot->volume_at_pressure(c.pressure), c.expected));
}

}  // namespace
}  // namespace nivaltus::hugoniot
