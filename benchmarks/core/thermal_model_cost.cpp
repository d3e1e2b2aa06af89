// Cost of one ThermalModel::pressure evaluation per kind, printed in
// nanoseconds. Nothing is asserted about the time itself: only that every
// evaluation succeeds.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <tuple>

#include "core/thermal/thermal_model.hpp"
#include "tests/core/thermal/thermal_model_fixtures.hpp"

namespace nivaltus {
namespace {

TEST(ThermalModelCost, NanosecondsPerPressure) {
  using Clock = std::chrono::steady_clock;
  constexpr double volumes[] = {10.5, 11.0, 11.8, 9.6};
  constexpr double temperatures[] = {1500.0, 700.0, 2500.0, 400.0};
  const auto budget = std::chrono::milliseconds(40);

  std::apply(
      [&](const auto&... models) {
        const auto measure = [&](const ThermalModel& model) {
          double sum = 0.0;
          long evaluations = 0;
          bool all_ok = true;
          const Clock::time_point start = Clock::now();
          Clock::time_point now = start;
          while (now - start < budget) {
            for (int i = 0; i < 4; ++i) {
              const EosResult<double> p = model.pressure(volumes[i], temperatures[i]);
              all_ok = all_ok && p.has_value();
              sum += p.value_or(0.0);
            }
            evaluations += 4;
            now = Clock::now();
          }
          const double ns = std::chrono::duration<double, std::nano>(now - start).count() / evaluations;
          EXPECT_TRUE(all_ok) << model.model_name();
          std::printf("%-38s %12.1f ns  (checksum %.6g)\n", std::string(model.model_name()).c_str(), ns, sum);
        };
        (measure(ThermalModel(models)), ...);
      },
      thermal_test::all_thermal_models());
}

}  // namespace
}  // namespace nivaltus
