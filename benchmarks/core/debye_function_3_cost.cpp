// Cost of one thermal::debye_function_3 call over [0.001, 150], in
// nanoseconds: over the whole range (arguments spread logarithmically, as
// theta/T spreads in practice) and within each of its formulas. Asserts only
// that every call succeeds.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "core/thermal/special_functions.hpp"

namespace nivaltus::thermal {
namespace {

// 4096 arguments from lo to hi, logarithmically spaced and shuffled by a
// fixed stride so that neighbouring calls fall in different intervals.
std::vector<double> arguments(double lo, double hi) {
  constexpr int count = 4096;
  std::vector<double> x(count);
  for (int i = 0; i < count; ++i) {
    const int k = (i * 1237) % count;
    x[i] = lo * std::pow(hi / lo, static_cast<double>(k) / (count - 1));
  }
  return x;
}

void time_debye_function_3(const char* name, double lo, double hi) {
  const std::vector<double> x = arguments(lo, hi);
  constexpr int sweeps = 500;
  double sink = 0.0;
  int failures = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int sweep = 0; sweep < sweeps; ++sweep) {
    for (const double xi : x) {
      const EosResult<double> d = debye_function_3(xi);
      if (d) {
        sink += *d;
      } else {
        ++failures;
      }
    }
  }
  const auto elapsed =
      std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(failures, 0) << name;
  std::printf("D3 %-28s %8.1f ns per call (checksum %.6g)\n", name,
              elapsed / (static_cast<double>(sweeps) * x.size()), sink);
}

TEST(DebyeFunction3Cost, NanosecondsPerCall) {
  time_debye_function_3("over [0.001, 150]", 0.001, 150.0);
  time_debye_function_3("table, [0.001, 12)", 0.001, 11.999);
  time_debye_function_3("tail, [12, 150]", 12.0, 150.0);
}

}  // namespace
}  // namespace nivaltus::thermal
