#pragma once
// The error value of fitting. Four kinds, in this order:
//   InvalidInput      the caller's problem is malformed: shapes, bounds,
//                     options, observations, loss or parameter names; the
//                     message says which.
//   EvaluationFailed  a residual evaluation failed or returned a vector the
//                     engine cannot use; the message says which.
//   Eos               a model operation called by the fit failed; its
//                     EosError is carried unchanged (kind, field, message).
//   SingularSystem    a linear system of the fit has no usable solution.
// Only the first two own text. Kept apart from the engine so that the models'
// rebuild from named parameters can return it without depending on the
// engine.

#include <cstdint>
#include <expected>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>

#include "core/error.hpp"

namespace nivaltus::fit {

class [[nodiscard]] FitError {
 public:
  enum class Kind : std::uint8_t { InvalidInput, EvaluationFailed, Eos, SingularSystem };

  static FitError invalid_input(std::string message) {
    return FitError(Kind::InvalidInput, std::move(message));
  }
  static FitError evaluation_failed(std::string message) {
    return FitError(Kind::EvaluationFailed, std::move(message));
  }
  static FitError eos(EosError error) { return FitError(error); }
  static FitError singular_system() { return FitError(Kind::SingularSystem, std::string()); }

  Kind kind() const { return kind_; }
  // The owned text of InvalidInput and EvaluationFailed; empty otherwise.
  const std::string& message() const { return message_; }
  // The carried model error; meaningful only for Kind::Eos.
  const EosError& eos_error() const { return eos_; }

  // The message, the EosError's own text, or "linear system is singular".
  void display(std::ostream& sink) const {
    switch (kind_) {
      case Kind::InvalidInput:
      case Kind::EvaluationFailed:
        sink << message_;
        return;
      case Kind::Eos:
        eos_.display(sink);
        return;
      case Kind::SingularSystem:
        sink << "linear system is singular";
        return;
    }
  }
  std::string to_string() const {
    std::ostringstream text;
    display(text);
    return text.str();
  }

  friend bool operator==(const FitError&, const FitError&) = default;

 private:
  FitError(Kind kind, std::string message)
      : kind_(kind), message_(std::move(message)), eos_(EosError::non_finite_result()) {}
  explicit FitError(EosError error) : kind_(Kind::Eos), eos_(error) {}

  Kind kind_;
  std::string message_;
  EosError eos_;
};

inline std::ostream& operator<<(std::ostream& sink, const FitError& error) {
  error.display(sink);
  return sink;
}

template <class T>
using FitResult = std::expected<T, FitError>;

// Shorthands ready to return from a function whose result is a FitResult.
inline std::unexpected<FitError> fail_input(std::string message) {
  return std::unexpected(FitError::invalid_input(std::move(message)));
}
inline std::unexpected<FitError> fail_evaluation(std::string message) {
  return std::unexpected(FitError::evaluation_failed(std::move(message)));
}
inline std::unexpected<FitError> fail_eos(EosError error) { return std::unexpected(FitError::eos(error)); }

}  // namespace nivaltus::fit
