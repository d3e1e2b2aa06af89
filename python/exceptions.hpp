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
PyError nivaltus_python_error(std::string_view class_name, std::string_view message, std::string_view code,
                              std::optional<std::string_view> operation = std::nullopt,
                              std::optional<std::string_view> field = std::nullopt);

PyError to_python_error(const EosError& error);

// "<qualified type name>: <str(value)>" of the current Python error, which is
// cleared; "<exception str() failed>" stands in for an unprintable value.
std::string take_error_text();
PyError python_validation_error(std::string_view message);
PyError python_unsupported_error(std::string_view message);

// Raise shorthands for the Python boundary: set the error, return null.
inline PyObject* raise(PyError error) {
  std::move(error).restore();
  return nullptr;
}

}  // namespace nivaltus::python
