#include "core/root/bisect_bracket.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace nivaltus::root {
namespace {

using Kind = EosError::Kind;

TEST(BisectBracket, SameStrictSignFailsWithoutEvaluating) {
  int calls = 0;
  auto f = [&](double x) -> EosResult<double> { return ++calls, x; };
  const auto result = bisect_bracket(f, 0.0, 0.0, 1.0, 1.0, 2.0, 1e-14, 1e-14);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().kind(), Kind::BracketingFailed);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(bisect_bracket(f, 0.0, 0.0, -1.0, 1.0, -2.0, 1e-14, 1e-14).error().kind(),
            Kind::BracketingFailed);
}

// A zero residual at one end is a valid bracket; the result is always a
// midpoint, never the end itself. Orientation must hold for increasing and
// decreasing functions with the exact root at either end.
TEST(BisectBracket, ExactRootAtAnEndIsApproachedNotReturned) {
  struct Case {
    double slope, root, lo, hi;
  };
  const Case cases[] = {
      {+1.0, 2.0, 2.0, 3.0},  // root at lo, f increasing: f_lo = 0, f_hi > 0
      {-1.0, 2.0, 2.0, 3.0},  // root at lo, f decreasing: f_lo = 0, f_hi < 0
      {+1.0, 3.0, 2.0, 3.0},  // root at hi, f increasing
      {-1.0, 3.0, 2.0, 3.0},  // root at hi, f decreasing
  };
  for (const Case& c : cases) {
    auto f = [&](double x) -> EosResult<double> { return c.slope * (x - c.root); };
    const double f_lo = c.slope * (c.lo - c.root), f_hi = c.slope * (c.hi - c.root);
    const auto result = bisect_bracket(f, 0.0, c.lo, f_lo, c.hi, f_hi, 1e-14, 1e-15);
    ASSERT_TRUE(result) << c.slope << " " << c.root;
    EXPECT_NEAR(*result, c.root, 1e-13) << c.slope << " " << c.root;
    EXPECT_NE(*result, c.root);
  }
}

TEST(BisectBracket, StopsOnResidualOrOnWidth) {
  int calls = 0;
  auto linear = [&](double x) -> EosResult<double> { return ++calls, 2.0 * x - 1.0; };
  // The first midpoint 0.5 is the exact root.
  EXPECT_EQ(*bisect_bracket(linear, 0.0, 0.0, -1.0, 1.0, 1.0, 0.0, 0.0), 0.5);
  EXPECT_EQ(calls, 1);

  // A jump at 1/3 never meets f_tol; the width test ends the bisection with a
  // half-width of at most |mid| * 1e-14 + x_tol.
  auto step = [](double x) -> EosResult<double> { return x < 1.0 / 3.0 ? -1.0 : 1.0; };
  const auto x = bisect_bracket(step, 0.0, 0.0, -1.0, 1.0, 1.0, 1e-12, 0.5);
  ASSERT_TRUE(x);
  EXPECT_NEAR(*x, 1.0 / 3.0, 2e-12);
}

TEST(BisectBracket, FailsAfter256Iterations) {
  // A jump at 0 with both tolerances zero: the midpoints -2^-k never satisfy
  // the width test because its relative term shrinks with them.
  int calls = 0;
  auto step = [&](double x) -> EosResult<double> { return ++calls, x < 0.0 ? -1.0 : 1.0; };
  const auto result = bisect_bracket(step, 0.0, -1.0, -1.0, 1.0, 1.0, 0.0, 0.0);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().kind(), Kind::ConvergenceFailed);
  EXPECT_EQ(calls, 256);
}

TEST(BisectBracket, ErrorOfFunctionIsReturnedUnchanged) {
  int calls = 0;
  const EosError refusal = EosError::invalid_state("volume", "is outside the modified Tait EOS domain");
  auto f = [&](double x) -> EosResult<double> {
    if (++calls == 3) return std::unexpected(refusal);
    return x;
  };
  const auto result = bisect_bracket(f, 0.3, 0.0, -0.3, 1.0, 0.7, 0.0, 0.0);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), refusal);
  EXPECT_EQ(calls, 3);
}

TEST(CheckResidual, ToleranceIsRelativeAboveOneAbsoluteBelow) {
  struct Case {
    double target, value;
    bool accepted;
  };
  const Case cases[] = {
      {0.0, 1e-8, true},
      {0.0, -1e-8, true},
      {0.0, std::nextafter(1e-8, 1.0), false},
      {0.0, -std::nextafter(1e-8, 1.0), false},
      {0.5, 0.5 + 0.9e-8, true},  // |target| < 1: tolerance 1e-8, not 0.5e-8
      {0.5, 0.5 + 1.1e-8, false},
      {1e6, 1e6 + 0.9e-2, true},  // tolerance 1e-8 * 1e6
      {1e6, 1e6 - 1.1e-2, false},
  };
  for (const Case& c : cases) {
    int calls = 0;
    auto f = [&](double) -> EosResult<double> { return ++calls, c.value; };
    const auto result = check_residual(f, c.target, 7.0);
    EXPECT_EQ(result.has_value(), c.accepted) << c.target << " " << c.value;
    if (result) {
      EXPECT_EQ(*result, 7.0);
    } else {
      EXPECT_EQ(result.error().kind(), Kind::ConvergenceFailed);
    }
    EXPECT_EQ(calls, 1);
  }
}

}  // namespace
}  // namespace nivaltus::root
