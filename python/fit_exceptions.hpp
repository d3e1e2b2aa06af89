#pragma once
// The road from the fitting engine's error value to a Python exception of
// nivaltus.errors; operation "fit" for every kind.

#include "core/fit/fit_error.hpp"
#include "python/exceptions.hpp"

namespace nivaltus::python {

//   InvalidInput      FitValidationError     fit.invalid_input      the message
//   EvaluationFailed  FitError               fit.evaluation_failed  the message
//   Eos               FitEosValidationError  (InvalidParameter, InvalidState, OutsideInvertibleRange,
//                     BracketingFailed) or FitEosNumericalError (ConvergenceFailed, NonFiniteResult),
//                     the eos.* code of the kind, the field where the EosError names one, and always
//                     the EosError's display text
//   SingularSystem    FitNumericalError      fit.singular_system    "linear system is singular"
PyError to_python_fit_error(const fit::FitError& error);

// FitValidationError with code fit.invalid_input, raised directly for the
// checks the fitting functions make themselves.
PyError python_fit_validation_error(std::string_view message);

}  // namespace nivaltus::python
