#include "core/root/solve_volume.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace nivaltus::root {
namespace {

using Kind = EosError::Kind;
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double tiny = std::numeric_limits<double>::denorm_min();

// Third-order Birch-Murnaghan pressure written out directly, with K0' != 4 so
// that the third-order term matters.
struct Bm3Like {
  double v0 = 10.0, k0 = 160.0, k0_prime = 4.5;
  EosResult<double> pressure(double volume) const {
    if (!is_positive_finite(volume)) return fail_state("volume", phrase::positive_finite);
    const double x = volume / v0;
    const double f = std::pow(x, -2.0 / 3.0) - 1.0;
    return 1.5 * k0 * (std::pow(x, -7.0 / 3.0) - std::pow(x, -5.0 / 3.0)) *
           (1.0 + 0.75 * (k0_prime - 4.0) * f);
  }
};

// Wraps a function object, counting its evaluations.
template <class G>
auto counted(int& calls, G g) {
  return [&calls, g](double x) -> EosResult<double> {
    ++calls;
    return g(x);
  };
}

TEST(SolveVolume, Bm3RootsAgainstHighPrecision) {
  // Roots of the same BM3 form computed with mpmath.findroot at 40 digits.
  struct Case {
    double pressure, volume;
  };
  const Case cases[] = {
      {50.0, 8.194677088633967928},   // compression: found below V0
      {-5.0, 10.342843275834151378},  // tension: found above V0
  };
  const Bm3Like model;
  for (const Case& c : cases) {
    const auto v = solve_volume(model, c.pressure);
    ASSERT_TRUE(v) << c.pressure;
    EXPECT_NEAR(*v, c.volume, 1e-12) << c.pressure;
    EXPECT_LE(std::abs(*model.pressure(*v) - c.pressure), 1e-8 * std::max(std::abs(c.pressure), 1.0));
  }
}

TEST(SolveVolume, InvalidArgumentsInOrderWithoutEvaluating) {
  struct Case {
    double pressure, reference_volume;
    const char* field;
    const char* message;
  };
  const Case cases[] = {
      {nan, -1.0, "pressure", "must be finite"},
      {inf, 10.0, "pressure", "must be finite"},
      {-inf, nan, "pressure", "must be finite"},
      {1.0, 0.0, "reference volume", "must be positive and finite"},
      {1.0, -1.0, "reference volume", "must be positive and finite"},
      {1.0, inf, "reference volume", "must be positive and finite"},
      {1.0, nan, "reference volume", "must be positive and finite"},
  };
  for (const Case& c : cases) {
    int calls = 0;
    const auto result = solve_volume_function(counted(calls, [](double) -> EosResult<double> { return 0.0; }),
                                              c.pressure, c.reference_volume);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), EosError::invalid_state(c.field, c.message));
    EXPECT_EQ(calls, 0);
  }
}

TEST(SolveVolume, EarlyAcceptanceReturnsReferenceVolumeAfterOneEvaluation) {
  struct Case {
    double f_ref, pressure, reference_volume;
  };
  const Case cases[] = {
      {0.0, 0.0, 10.0},
      {100.0, 100.0 + 0.9e-8, 3.0},  // within 1e-10 * 100
      {0.0, 0.9e-10, 3.0},           // within 1e-10 * 1
      {5.0, 5.0, tiny},              // the smallest subnormal is a valid reference volume
  };
  for (const Case& c : cases) {
    int calls = 0;
    // Decreasing, so a bisection would move away from the reference volume.
    auto f =
        counted(calls, [&](double v) -> EosResult<double> { return c.f_ref - (v - c.reference_volume); });
    const auto result = solve_volume_function(f, c.pressure, c.reference_volume);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, c.reference_volume);
    EXPECT_EQ(calls, 1);
  }
}

TEST(SolveVolume, DownwardSearchFailsAfter145Evaluations) {
  int calls = 0;
  const auto result =
      solve_volume_function(counted(calls, [](double) -> EosResult<double> { return 1.0; }), 2.0, 10.0);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().kind(), Kind::BracketingFailed);
  EXPECT_EQ(calls, 145);
}

TEST(SolveVolume, DownwardSearchEndsForSubnormalReferenceVolume) {
  // 0.8 * 5e-324 rounds back to 5e-324 and the limit 1e-14 * 5e-324 is zero:
  // only the candidate count ends this search.
  int calls = 0;
  const auto result =
      solve_volume_function(counted(calls, [](double) -> EosResult<double> { return 1.0; }), 2.0, tiny);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().kind(), Kind::BracketingFailed);
  EXPECT_EQ(calls, 161);
}

TEST(SolveVolume, UpwardSearchStopsAt160Candidates) {
  // The root at 3000 V_ref lies between 1.05^160 V_ref (~2456) and 1e4 V_ref.
  int calls = 0;
  auto f = counted(calls, [](double v) -> EosResult<double> { return v < 3000.0 ? 1.0 : -1.0; });
  const auto result = solve_volume_function(f, 0.0, 1.0);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().kind(), Kind::OutsideInvertibleRange);
  EXPECT_EQ(calls, 161);
}

TEST(SolveVolume, ModelErrorAtThirdCandidateAfterFourEvaluations) {
  const EosError refusal =
      EosError::invalid_state("volume", "is outside the Baonza EOS pseudospinodal domain");
  for (double pressure : {100.0, -100.0}) {  // downward and upward
    int calls = 0;
    auto f = counted(calls, [&](double) -> EosResult<double> {
      if (calls == 4) return std::unexpected(refusal);
      return 0.0;
    });
    const auto result = solve_volume_function(f, pressure, 10.0);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), refusal);
    EXPECT_EQ(calls, 4);
  }
}

TEST(SolveVolume, JumpAcrossTargetFailsTheResidualTest) {
  auto f = [](double v) -> EosResult<double> { return v < 9.0 ? 10.0 : -10.0; };
  const auto result = solve_volume_function(f, 0.0, 10.0);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().kind(), Kind::ConvergenceFailed);
}

TEST(SolveVolume, ExactRootAtSearchCandidateIsBisectedTowards) {
  // Candidates 8, 6.4, ...: the residual at 8 is exactly zero and closes the
  // bracket [8, 10]; the result is a midpoint converging to 8.
  int calls = 0;
  auto f = counted(calls, [](double v) -> EosResult<double> { return 8.0 - v; });
  const auto result = solve_volume_function(f, 0.0, 10.0);
  ASSERT_TRUE(result);
  EXPECT_NEAR(*result, 8.0, 1e-13);
  EXPECT_GT(*result, 8.0);
}

TEST(SolveVolume, RecordWithoutAccessorUsesFieldV0) {
  struct Linear {
    double v0 = 4.0;
    EosResult<double> pressure(double volume) const { return 2.0 * (v0 - volume); }
  };
  const auto v = solve_volume(Linear{}, 3.0);
  ASSERT_TRUE(v);
  EXPECT_NEAR(*v, 2.5, 4e-14);  // width stop: 2.5e-14 + 1e-14
}

}  // namespace
}  // namespace nivaltus::root
