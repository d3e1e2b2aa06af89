#include "python/exceptions.hpp"

#include <string>

#include "core/name_table.hpp"
#include "python/gil.hpp"
#include "python/panic.hpp"
#include "python/py_ref.hpp"

namespace nivaltus::python {
namespace {

constexpr NameTable<EosError::Kind, 6> eos_error_codes{{
    {"eos.invalid_parameter", EosError::Kind::InvalidParameter},
    {"eos.invalid_state", EosError::Kind::InvalidState},
    {"eos.outside_invertible_range", EosError::Kind::OutsideInvertibleRange},
    {"eos.bracketing_failed", EosError::Kind::BracketingFailed},
    {"eos.convergence_failed", EosError::Kind::ConvergenceFailed},
    {"eos.non_finite_result", EosError::Kind::NonFiniteResult},
}};

PyRef text(std::string_view value) { return PyRef::steal(new_str(value)); }

PyError fallback_error(std::string_view class_name, std::string_view message) {
  if (PyErr_Occurred() != nullptr && !PyErr_ExceptionMatches(PyExc_Exception)) return PyError::fetch();
  std::string failure = take_error_text();
  std::string composed(message);
  composed += " (could not construct nivaltus.errors.";
  composed += class_name;
  composed += ": ";
  composed += failure;
  composed += ")";
  PyRef argument = text(composed);
  PyRef error = argument ? PyRef::steal(PyObject_CallOneArg(PyExc_RuntimeError, argument.get())) : PyRef();
  if (!error) return PyError::fetch();  // out of memory: that error is what is left to raise
  return PyError(error.release());
}

}  // namespace

std::string take_error_text() {
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  PyRef owned_type = PyRef::steal(type);
  PyRef owned_value = PyRef::steal(value);
  PyRef owned_traceback = PyRef::steal(traceback);

  std::string result = "<unknown>";
  if (owned_type && PyType_Check(owned_type.get())) {
    PyRef name = PyRef::steal(PyType_GetQualName(reinterpret_cast<PyTypeObject*>(owned_type.get())));
    const char* utf8 = name ? PyUnicode_AsUTF8(name.get()) : nullptr;
    if (utf8 != nullptr) result = utf8;
    PyErr_Clear();
  }
  result += ": ";
  PyRef string_form = PyRef::steal(PyObject_Str(owned_value.get()));
  const char* utf8 = string_form ? PyUnicode_AsUTF8(string_form.get()) : nullptr;
  result += utf8 != nullptr ? utf8 : "<exception str() failed>";
  PyErr_Clear();
  return result;
}

PyError& PyError::operator=(PyError&& other) noexcept {
  if (this != &other) {
    PyError dropped(std::exchange(value_, std::exchange(other.value_, nullptr)));
  }
  return *this;
}

PyError::~PyError() {
  if (value_ != nullptr) {
    GilAcquire gil;
    Py_DECREF(value_);
  }
}

void PyError::restore() && {
  PyRef value = PyRef::steal(std::exchange(value_, nullptr));
  if (PyExceptionInstance_Check(value.get())) {
    PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(value.get())), value.get());
  } else if (PyExceptionClass_Check(value.get())) {
    PyErr_SetNone(value.get());
  } else {
    PyErr_SetString(PyExc_TypeError, "exceptions must derive from BaseException");
  }
}

PyError PyError::fetch() {
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  if (value != nullptr && traceback != nullptr) PyException_SetTraceback(value, traceback);
  Py_XDECREF(type);
  Py_XDECREF(traceback);
  return PyError(value);
}

PyError nivaltus_python_error(std::string_view class_name, std::string_view message, std::string_view code,
                              std::optional<std::string_view> operation,
                              std::optional<std::string_view> field) {
  GilAcquire gil;

  PyRef module = PyRef::steal(PyImport_ImportModule("nivaltus.errors"));
  if (!module) return fallback_error(class_name, message);
  PyRef name = text(class_name);
  if (!name) return fallback_error(class_name, message);
  PyRef error_class = PyRef::steal(PyObject_GetAttr(module.get(), name.get()));
  if (!error_class) return fallback_error(class_name, message);

  PyRef keywords = PyRef::steal(PyDict_New());
  if (!keywords) return fallback_error(class_name, message);
  const auto put = [&](const char* key, std::string_view value) {
    PyRef item = text(value);
    return item && PyDict_SetItemString(keywords.get(), key, item.get()) == 0;
  };
  if (!put("code", code)) return fallback_error(class_name, message);
  if (operation && !put("operation", *operation)) return fallback_error(class_name, message);
  if (field && !put("field", *field)) return fallback_error(class_name, message);

  PyRef message_text = text(message);
  if (!message_text) return fallback_error(class_name, message);
  PyRef arguments = PyRef::steal(PyTuple_Pack(1, message_text.get()));
  if (!arguments) return fallback_error(class_name, message);
  PyRef error = PyRef::steal(PyObject_Call(error_class.get(), arguments.get(), keywords.get()));
  if (!error) return fallback_error(class_name, message);
  return PyError(error.release());
}

PyError to_python_error(const EosError& error, std::string_view operation) {
  using Kind = EosError::Kind;
  const bool in_fit = operation == "fit";
  if (!in_fit && operation != "eos") panic("EOS error under an unknown operation: " + std::string(operation));
  const Kind kind = error.kind();
  const std::string_view code = name_of_value(eos_error_codes, kind);
  if (code.empty()) panic("EosError of an unknown kind");
  const bool numerical = kind == Kind::ConvergenceFailed || kind == Kind::NonFiniteResult;
  const std::string_view class_name = in_fit ? (numerical ? "FitEosNumericalError" : "FitEosValidationError")
                                             : (numerical ? "EosNumericalError" : "EosValidationError");
  const std::string message = kind == Kind::OutsideInvertibleRange && !in_fit
                                  ? std::string("pressure is outside the invertible expansion range")
                                  : error.to_string();
  std::optional<std::string_view> field;
  if (kind == Kind::InvalidParameter || kind == Kind::InvalidState) field = error.field();
  return nivaltus_python_error(class_name, message, code, operation, field);
}

PyError python_validation_error(std::string_view message) {
  return nivaltus_python_error("ValidationError", message, "validation.invalid_input");
}

PyError python_unsupported_error(std::string_view message) {
  return nivaltus_python_error("UnsupportedOperationError", message, "operation.unsupported");
}

}  // namespace nivaltus::python
