#pragma once
// The one road from a failure to a Python exception: the class is looked up by
// name in `nivaltus.errors` (imported anew for every error) and called with the
// message and the keywords `code`, `operation` and `field`.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/error.hpp"

namespace nivaltus::python {

// An owned Python error value, ready to be raised. It may be built, moved and
// dropped on any thread: dropping it takes the interpreter lock for the moment.
class PyError {
 public:
  explicit PyError(PyObject* value) : value_(value) {}  // takes over a reference
  PyError(const PyError&) = delete;
  PyError& operator=(const PyError&) = delete;
  PyError(PyError&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
  PyError& operator=(PyError&& other) noexcept;
  ~PyError();

  // Sets the error as the current Python exception (lock held). An exception
  // instance is raised unchanged, an exception class is raised without
  // arguments, anything else raises TypeError "exceptions must derive from
  // BaseException".
  void restore() &&;

  // Takes the current Python exception (lock held, one must be set).
  static PyError fetch();

 private:
  PyObject* value_;
};

// Never fails: any failure on the way (missing module or class, a constructor
// rejecting the keywords or raising) yields RuntimeError with the text
//   message + " (could not construct nivaltus.errors." + class_name + ": " + failure + ")".
// A failure that is not an Exception (KeyboardInterrupt, SystemExit, ...) is
// the user's or the interpreter's, not the errors module's: it is returned
// unchanged, to be raised in place of the error.
PyError nivaltus_python_error(std::string_view class_name, std::string_view message, std::string_view code,
                              std::optional<std::string_view> operation = std::nullopt,
                              std::optional<std::string_view> field = std::nullopt);

// An EOS error under the operation that met it: "eos" for a model's own
// method (classes EosValidationError for the kinds up to BracketingFailed,
// EosNumericalError for the others; OutsideInvertibleRange reads "pressure is
// outside the invertible expansion range"), "fit" for a model evaluated
// inside a fit (FitEosValidationError, FitEosNumericalError; the display text
// for every kind). The field keyword is passed for InvalidParameter and
// InvalidState only. Any other operation text is an internal fault.
PyError to_python_error(const EosError& error, std::string_view operation = "eos");

// "<qualified type name>: <str(value)>" of the current Python error, which is
// cleared; "<exception str() failed>" stands in for an unprintable value.
std::string take_error_text();
PyError python_validation_error(std::string_view message);
PyError python_unsupported_error(std::string_view message);

// Raise shorthand for the Python boundary: set the error, return null.
inline PyObject* raise(PyError error) {
  std::move(error).restore();
  return nullptr;
}

// The value of a model method as a Python float, or its EOS error raised.
inline PyObject* float_result(const EosResult<double>& result) {
  if (!result) return raise(to_python_error(result.error()));
  return PyFloat_FromDouble(*result);
}

}  // namespace nivaltus::python
