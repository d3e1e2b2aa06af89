// Holzapfel's own dK/dP (central difference with step eps) and the closed
// form, against dK/dP computed independently.

#include "core/isothermal/holzapfel.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace nivaltus::isothermal {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

const Holzapfel model = *Holzapfel::make(16.5, 160.0, 4.6, 1.0, 26.0);

struct DerivativeCase {
  double volume;
  double bulk_modulus;
  double k_prime;
};

// python3 + mpmath (50 digits): P = 3 K0 x^-5 (1 - x) exp(c0 (1 - x))(1 + c2 x (1 - x)),
// K = -V dP/dV and K' = (dK/dV)/(dP/dV), all derivatives by mpmath.diff.
constexpr DerivativeCase derivative_cases[] = {
    {11.55, 480.53004553055989751, 2.2911368001908257},
    {16.5, 160.0, 4.6},
    {18.15, 92.85998395424177237, 7.27030050351058},
};

TEST(HolzapfelDerivative, ClosedFormMatchesIndependentValues) {
  for (const auto& c : derivative_cases) {
    const auto k = model.bulk_modulus(c.volume);
    ASSERT_TRUE(k.has_value());
    EXPECT_NEAR(*k, c.bulk_modulus, 1e-12 * c.bulk_modulus);
    const auto k_prime =
        holzapfel_bulk_modulus_derivative_analytical(model.v0, c.volume, *k, model.k0, model.c0, model.c2);
    ASSERT_TRUE(k_prime.has_value()) << k_prime.error().to_string();
    EXPECT_NEAR(*k_prime, c.k_prime, 1e-11 * std::abs(c.k_prime)) << "V = " << c.volume;
  }
}

TEST(HolzapfelDerivative, CentralDifferenceMatchesIndependentValues) {
  for (const auto& c : derivative_cases) {
    const auto k_prime = model.bulk_modulus_derivative(c.volume, 1e-4);
    ASSERT_TRUE(k_prime.has_value()) << k_prime.error().to_string();
    EXPECT_NEAR(*k_prime, c.k_prime, 1e-6 * std::abs(c.k_prime)) << "V = " << c.volume;
  }
}

TEST(HolzapfelDerivative, CentralDifferenceChecksVolumeThenStep) {
  const auto volume = EosError::invalid_state("volume", "must be positive and finite");
  const auto step_positive = EosError::invalid_parameter("eps", "must be positive and finite");
  const auto step_below_one = EosError::invalid_parameter("eps", "must be smaller than one");
  EXPECT_EQ(model.bulk_modulus_derivative(-1.0, 0.0).error(), volume);
  EXPECT_EQ(model.bulk_modulus_derivative(nan, 1.0).error(), volume);
  EXPECT_EQ(model.bulk_modulus_derivative(10.0, 0.0).error(), step_positive);
  EXPECT_EQ(model.bulk_modulus_derivative(10.0, -1e-3).error(), step_positive);
  EXPECT_EQ(model.bulk_modulus_derivative(10.0, nan).error(), step_positive);
  EXPECT_EQ(model.bulk_modulus_derivative(10.0, inf).error(), step_positive);
  EXPECT_EQ(model.bulk_modulus_derivative(10.0, 1.0).error(), step_below_one);
  EXPECT_EQ(model.bulk_modulus_derivative(10.0, 2.0).error(), step_below_one);
  // (1 + eps) V overflows: the upper volume is reported as a state error.
  EXPECT_EQ(model.bulk_modulus_derivative(std::numeric_limits<double>::max(), 0.5).error(), volume);
}

TEST(HolzapfelDerivative, ClosedFormChecksInOrder) {
  const auto v0 = EosError::invalid_parameter("V0", "must be positive and finite");
  EXPECT_EQ(holzapfel_bulk_modulus_derivative_analytical(0.0, -1.0, nan, nan, nan, nan).error(), v0);
  EXPECT_EQ(holzapfel_bulk_modulus_derivative_analytical(10.0, -1.0, nan, nan, nan, nan).error(),
            EosError::invalid_state("volume", "must be positive and finite"));
  EXPECT_EQ(holzapfel_bulk_modulus_derivative_analytical(10.0, 9.0, inf, nan, nan, nan).error(),
            EosError::invalid_parameter("KT", "must be finite"));
  EXPECT_EQ(holzapfel_bulk_modulus_derivative_analytical(10.0, 9.0, -5.0, 0.0, nan, nan).error(),
            EosError::invalid_parameter("K0", "must be positive and finite"));
  EXPECT_EQ(holzapfel_bulk_modulus_derivative_analytical(10.0, 9.0, -5.0, 100.0, nan, nan).error(),
            EosError::invalid_parameter("c0", "must be finite"));
  EXPECT_EQ(holzapfel_bulk_modulus_derivative_analytical(10.0, 9.0, -5.0, 100.0, 1.0, -inf).error(),
            EosError::invalid_parameter("c2", "must be finite"));
  // KT = 0 divides by zero.
  EXPECT_EQ(holzapfel_bulk_modulus_derivative_analytical(10.0, 9.0, 0.0, 100.0, 1.0, 2.0).error(),
            EosError::non_finite_result());
}

}  // namespace
}  // namespace nivaltus::isothermal
