#include "core/error.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace nivaltus {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double tiny = std::numeric_limits<double>::denorm_min();
constexpr double huge = std::numeric_limits<double>::max();

TEST(Predicates, PositiveFinite) {
  for (double x : {tiny, 1.0, huge}) EXPECT_TRUE(is_positive_finite(x)) << x;
  for (double x : {0.0, -0.0, -tiny, inf, -inf, nan}) EXPECT_FALSE(is_positive_finite(x)) << x;
}

TEST(Predicates, Finite) {
  for (double x : {-0.0, 0.0, -1e308, huge, -tiny}) EXPECT_TRUE(is_finite(x)) << x;
  for (double x : {inf, -inf, nan}) EXPECT_FALSE(is_finite(x)) << x;
}

TEST(Predicates, NonNegativeAndSmallerThanOne) {
  EXPECT_TRUE(is_non_negative(-0.0));
  EXPECT_FALSE(is_non_negative(-tiny));
  EXPECT_TRUE(is_smaller_than_one(std::nextafter(1.0, 0.0)));
  EXPECT_FALSE(is_smaller_than_one(1.0));
}

TEST(EosErrorDisplay, EveryKind) {
  struct Case {
    EosError error;
    const char* text;
  };
  const Case cases[] = {
      {EosError::invalid_parameter("K0_prime", "must be finite"), "invalid parameter K0_prime: must be finite"},
      {EosError::invalid_state("volume", "must be positive and finite"),
       "invalid state variable volume: must be positive and finite"},
      {EosError::outside_invertible_range(), "state is outside the model's invertible range"},
      {EosError::bracketing_failed(), "failed to bracket a root"},
      {EosError::convergence_failed(), "numerical solver failed to converge"},
      {EosError::non_finite_result(), "model returned a non-finite result"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.error.to_string(), c.text);
}

TEST(EosErrorValue, EqualPayloadsAreIndistinguishable) {
  EXPECT_EQ(EosError::invalid_parameter("V0", phrase::positive_finite),
            EosError::invalid_parameter("V0", "must be positive and finite"));
  EXPECT_NE(EosError::invalid_parameter("V0", phrase::positive_finite),
            EosError::invalid_state("V0", phrase::positive_finite));
  EXPECT_FALSE(finite_result(inf).has_value());
  EXPECT_EQ(finite_result(nan).error().kind(), EosError::Kind::NonFiniteResult);
  EXPECT_EQ(*finite_result(-2.5), -2.5);
}

}  // namespace
}  // namespace nivaltus
