#include "python/fit_exceptions.hpp"

#include "python/panic.hpp"

namespace nivaltus::python {
namespace {

constexpr std::string_view fit_operation = "fit";

}  // namespace

PyError to_python_fit_error(const fit::FitError& error) {
  using Kind = fit::FitError::Kind;
  switch (error.kind()) {
    case Kind::InvalidInput:
      return python_fit_validation_error(error.message());
    case Kind::EvaluationFailed:
      return nivaltus_python_error("FitError", error.message(), "fit.evaluation_failed", fit_operation);
    case Kind::Eos:
      return to_python_error(error.eos_error(), fit_operation);
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
