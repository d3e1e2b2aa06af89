#include "core/error.hpp"

#include <gtest/gtest.h>

#include "tests/core/test_support.hpp"

namespace nivaltus {
namespace {

using namespace test;

TEST(Predicates, Boundaries) {
  for (double x : {0.0, -0.0, -tiny, inf, nan}) EXPECT_FALSE(is_positive_finite(x)) << x;
  EXPECT_TRUE(is_positive_finite(tiny) && is_non_negative(-0.0) && !is_non_negative(-tiny));
  EXPECT_TRUE(is_smaller_than_one(std::nextafter(1.0, 0.0)) && !is_smaller_than_one(1.0));
}

TEST(EosError, TextOfEveryKind) {
  const std::pair<EosError, const char*> cases[] = {
      {EosError::invalid_parameter("K0_prime", "must be finite"),
       "invalid parameter K0_prime: must be finite"},
      {EosError::invalid_state("volume", phrase::positive_finite),
       "invalid state variable volume: must be positive and finite"},
      {EosError::outside_invertible_range(), "state is outside the model's invertible range"},
      {EosError::bracketing_failed(), "failed to bracket a root"},
      {EosError::convergence_failed(), "numerical solver failed to converge"},
      {EosError::non_finite_result(), "model returned a non-finite result"},
  };
  for (const auto& [error, text] : cases) EXPECT_EQ(error.to_string(), text);
  EXPECT_NE(bad_parameter("V0"), bad_state("V0"));
  EXPECT_TRUE(fails_with(finite_result(-inf), non_finite()));
}

}  // namespace
}  // namespace nivaltus
