#pragma once
// The one error value of every model operation: a kind and, for the two
// validation kinds, a field name and a message. Both texts are static, so an
// EosError never owns memory, never formats and never records the offending
// value; it is copied freely and may cross threads.

#include <cmath>
#include <concepts>
#include <cstdint>
#include <expected>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

namespace nivaltus {

class EosError {
 public:
  enum class Kind : std::uint8_t {
    // A value checked as a parameter fails its check: a constructor
    // argument, or one of the few operation inputs checked as parameters (a
    // non-finite Hugoniot pressure or particle velocity). field() names it in
    // physics notation ("V0", "K0_prime"), message() is the check's phrase.
    InvalidParameter,
    // A state variable or other per-call input (volume, pressure,
    // temperature, f_dac, a derivative step, a quantity name) fails its
    // check; field() names it, message() is the check's phrase.
    InvalidState,
    // No state of the model answers the request: the upward volume search
    // (volumes V_ref 1.05^k) found none whose value reaches down to the
    // target; the temperature search found no bracket on either side within
    // its limits; a Hugoniot state would need s eta >= 1, a pressure below
    // P0 or a non-positive volume; or the pressure stencil of a bulk-modulus
    // derivative has no pressure difference.
    OutsideInvertibleRange,
    // The downward volume search (volumes V_ref 0.8^k) found none whose value
    // reaches up to the target, or a bisection was handed a bracket whose end
    // residuals share a strict sign.
    BracketingFailed,
    // A bisection met neither of its tolerances within its iteration limit,
    // or its result failed the final residual check
    // |f(x) - target| <= 1e-8 max(|target|, 1).
    ConvergenceFailed,
    // A computed value (result or intermediate) is NaN or infinite, a zero
    // divisor included.
    NonFiniteResult,
  };

  static constexpr EosError invalid_parameter(std::string_view field, std::string_view message) {
    return EosError(Kind::InvalidParameter, field, message);
  }
  static constexpr EosError invalid_state(std::string_view field, std::string_view message) {
    return EosError(Kind::InvalidState, field, message);
  }
  static constexpr EosError outside_invertible_range() { return EosError(Kind::OutsideInvertibleRange); }
  static constexpr EosError bracketing_failed() { return EosError(Kind::BracketingFailed); }
  static constexpr EosError convergence_failed() { return EosError(Kind::ConvergenceFailed); }
  static constexpr EosError non_finite_result() { return EosError(Kind::NonFiniteResult); }

  constexpr Kind kind() const { return kind_; }
  // Empty for the four payload-free kinds.
  constexpr std::string_view field() const { return field_; }
  constexpr std::string_view message() const { return message_; }

  // "invalid parameter {field}: {message}", "invalid state variable {field}:
  // {message}", or the fixed text of a payload-free kind.
  void display(std::ostream& sink) const;
  std::string to_string() const;

  friend constexpr bool operator==(const EosError&, const EosError&) = default;

 private:
  constexpr explicit EosError(Kind kind, std::string_view field = {}, std::string_view message = {})
      : kind_(kind), field_(field), message_(message) {}

  Kind kind_;
  std::string_view field_;
  std::string_view message_;
};

std::ostream& operator<<(std::ostream& sink, const EosError& error);

// The outcome of every model operation: a T, or the EosError that ended it.
// A type of its own over std::expected so that it can be [[nodiscard]]: a
// dropped outcome, and with it a failure, does not compile silently.
template <class T>
class [[nodiscard]] EosResult : public std::expected<T, EosError> {
 public:
  using Base = std::expected<T, EosError>;
  using Base::Base;
  // From a plain std::expected (the result of a monadic operation).
  constexpr EosResult(const Base& other) : Base(other) {}
  constexpr EosResult(Base&& other) : Base(std::move(other)) {}

  // Compares as the std::expected form, with another outcome, a value or an
  // unexpected error. Declared here so that the comparison binds the outcome
  // exactly: std::expected's own comparisons, reached through the base class,
  // are ambiguous with their reversed forms.
  template <class Other>
  friend constexpr bool operator==(const EosResult& a, const Other& b) {
    if constexpr (std::same_as<Other, EosResult>) {
      return static_cast<const Base&>(a) == static_cast<const Base&>(b);
    } else {
      return static_cast<const Base&>(a) == b;
    }
  }
};

// Fixed failure phrases of the validation predicates.
namespace phrase {
inline constexpr std::string_view positive_finite = "must be positive and finite";
inline constexpr std::string_view finite = "must be finite";
inline constexpr std::string_view non_negative = "must be non-negative";
inline constexpr std::string_view smaller_than_one = "must be smaller than one";
}  // namespace phrase

// 0 < x < +inf: rejects both zeros, negatives, infinities and NaN; accepts
// every positive subnormal and the largest finite double.
constexpr bool is_positive_finite(double x) { return x > 0.0 && x < INFINITY; }
constexpr bool is_finite(double x) { return x - x == 0.0; }
// False exactly when x < 0, so -0.0 and NaN pass (NaN is caught by a finite
// test placed before this one wherever it matters).
constexpr bool is_non_negative(double x) { return !(x < 0.0); }
constexpr bool is_smaller_than_one(double x) { return !(x >= 1.0); }

// Shorthands for the two validation kinds, ready to return from a function
// whose result is an EosResult.
constexpr std::unexpected<EosError> fail_parameter(std::string_view field, std::string_view message) {
  return std::unexpected(EosError::invalid_parameter(field, message));
}
constexpr std::unexpected<EosError> fail_state(std::string_view field, std::string_view message) {
  return std::unexpected(EosError::invalid_state(field, message));
}

// Every computed result passes through this before it is returned.
constexpr EosResult<double> finite_result(double value) {
  if (!is_finite(value)) return std::unexpected(EosError::non_finite_result());
  return value;
}

inline constexpr double machine_epsilon = 2.220446049250313e-16;

}  // namespace nivaltus
