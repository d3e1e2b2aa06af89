#include "python/fit_exceptions.hpp"

#include "python/panic.hpp"

namespace nivaltus::python {
namespace {

constexpr std::string_view fit_operation = "fit";

PyError eos_error_in_fit(const EosError& error) {
  using Kind = EosError::Kind;
  const std::string message = error.to_string();
  switch (error.kind()) {
    case Kind::InvalidParameter:
      return nivaltus_python_error("FitEosValidationError", message, "eos.invalid_parameter", fit_operation,
                                   error.field());
    case Kind::InvalidState:
      return nivaltus_python_error("FitEosValidationError", message, "eos.invalid_state", fit_operation,
                                   error.field());
    case Kind::OutsideInvertibleRange:
      return nivaltus_python_error("FitEosValidationError", message, "eos.outside_invertible_range",
                                   fit_operation);
    case Kind::BracketingFailed:
      return nivaltus_python_error("FitEosValidationError", message, "eos.bracketing_failed", fit_operation);
    case Kind::ConvergenceFailed:
      return nivaltus_python_error("FitEosNumericalError", message, "eos.convergence_failed", fit_operation);
    case Kind::NonFiniteResult:
      return nivaltus_python_error("FitEosNumericalError", message, "eos.non_finite_result", fit_operation);
  }
  panic("EosError of an unknown kind");
}

}  // namespace

PyError to_python_fit_error(const fit::FitError& error) {
  using Kind = fit::FitError::Kind;
  switch (error.kind()) {
    case Kind::InvalidInput:
      return python_fit_validation_error(error.message());
    case Kind::EvaluationFailed:
      return nivaltus_python_error("FitError", error.message(), "fit.evaluation_failed", fit_operation);
    case Kind::Eos:
      return eos_error_in_fit(error.eos_error());
    case Kind::SingularSystem:
      return nivaltus_python_error("FitNumericalError", error.to_string(), "fit.singular_system",
                                   fit_operation);
  }
  panic("FitError of an unknown kind");
}

PyError python_fit_validation_error(std::string_view message) {
  return nivaltus_python_error("FitValidationError", message, "fit.invalid_input", fit_operation);
}

}  // namespace nivaltus::python
