#pragma once
// Sums of doubles and of exact products of doubles, rounded once: the
// error-free transformations
//   a + b = sum + error  (two_sum, Knuth's TwoSum)
//   a b = product + error  (two_product, by fma)
// turn each term into doubles whose sum is exact, and accurate_sum adds n
// doubles by three passes of TwoSum over the vector (Ogita, Rump and Oishi's
// SumK with K = 4), which leaves an error of about one rounding of the result
// plus (2n u)^4 times the sum of the magnitudes of the terms (u = 2^-53): the
// result keeps its digits even where the terms cancel to 1e-32 of themselves.
// Needs -ffp-contract=off, so that no a b + c is fused behind the code's back.

#include <array>
#include <cmath>
#include <cstddef>

namespace nivaltus::isothermal {

struct TwoTerms {
  double value;
  double error;
};

// value = fl(a + b), error = (a + b) - value exactly, for finite a + b.
constexpr TwoTerms two_sum(double a, double b) {
  const double value = a + b;
  const double b_part = value - a;
  return {value, (a - (value - b_part)) + (b - b_part)};
}

// value = fl(a b), error = a b - value exactly, unless a b underflows.
inline TwoTerms two_product(double a, double b) {
  const double value = a * b;
  return {value, std::fma(a, b, -value)};
}

template <std::size_t n>
double accurate_sum(std::array<double, n> terms) {
  for (int pass = 0; pass < 3; ++pass) {
    for (std::size_t i = 1; i < n; ++i) {
      const auto [value, error] = two_sum(terms[i], terms[i - 1]);
      terms[i] = value;
      terms[i - 1] = error;
    }
  }
  double errors = 0.0;
  for (std::size_t i = 0; i + 1 < n; ++i) errors += terms[i];
  return terms[n - 1] + errors;
}

}  // namespace nivaltus::isothermal
