#include "python/arguments.hpp"

#include <string>
#include <vector>

#include "python/py_ref.hpp"

namespace nivaltus::python {
namespace {

std::string quoted_list(const std::vector<const char*>& names) {
  // 'a'; 'a' and 'b'; 'a', 'b', and 'c' -- as the interpreter writes them.
  std::string text;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += names.size() == 2 ? " and " : (i + 1 == names.size() ? ", and " : ", ");
    text += '\'';
    text += names[i];
    text += '\'';
  }
  return text;
}

}  // namespace

bool bind_arguments_with_defaults(const char* function_name, std::span<const char* const> names,
                                  std::size_t required, PyObject* const* args, Py_ssize_t positional_count,
                                  PyObject* keyword_names, std::span<PyObject*> out) {
  const auto parameter_count = static_cast<Py_ssize_t>(names.size());
  if (positional_count > parameter_count) {
    if (required == names.size()) {
      PyErr_Format(PyExc_TypeError, "%s() takes %zd positional argument%s but %zd %s given", function_name,
                   parameter_count, parameter_count == 1 ? "" : "s", positional_count,
                   positional_count == 1 ? "was" : "were");
    } else {
      PyErr_Format(PyExc_TypeError, "%s() takes from %zu to %zd positional arguments but %zd %s given",
                   function_name, required, parameter_count, positional_count,
                   positional_count == 1 ? "was" : "were");
    }
    return false;
  }
  for (PyObject*& slot : out) slot = nullptr;
  for (Py_ssize_t i = 0; i < positional_count; ++i) out[static_cast<std::size_t>(i)] = args[i];

  const Py_ssize_t keyword_count = keyword_names == nullptr ? 0 : PyTuple_GET_SIZE(keyword_names);
  for (Py_ssize_t k = 0; k < keyword_count; ++k) {
    PyObject* keyword = PyTuple_GET_ITEM(keyword_names, k);
    std::size_t match = names.size();
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (PyUnicode_CompareWithASCIIString(keyword, names[i]) == 0) {
        match = i;
        break;
      }
    }
    if (match == names.size()) {
      PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", function_name, keyword);
      return false;
    }
    if (out[match] != nullptr) {
      PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", function_name,
                   names[match]);
      return false;
    }
    out[match] = args[positional_count + k];
  }

  std::vector<const char*> missing;
  for (std::size_t i = 0; i < required; ++i) {
    if (out[i] == nullptr) missing.push_back(names[i]);
  }
  if (!missing.empty()) {
    PyErr_Format(PyExc_TypeError, "%s() missing %zu required positional argument%s: %s", function_name,
                 missing.size(), missing.size() == 1 ? "" : "s", quoted_list(missing).c_str());
    return false;
  }
  return true;
}

bool bind_arguments(const char* function_name, std::span<const char* const> names, PyObject* const* args,
                    Py_ssize_t positional_count, PyObject* keyword_names, std::span<PyObject*> out) {
  return bind_arguments_with_defaults(function_name, names, names.size(), args, positional_count,
                                      keyword_names, out);
}

void add_argument_note(const char* name) {
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  if (value != nullptr) {
    PyRef note = PyRef::steal(PyUnicode_FromFormat("while processing '%s'", name));
    PyRef added = note ? PyRef::steal(PyObject_CallMethod(value, "add_note", "O", note.get())) : PyRef();
    // A note that cannot be attached leaves the original error as it was.
    if (!added) PyErr_Clear();
  }
  PyErr_Restore(type, value, traceback);
}

bool convert_float(PyObject* object, const char* name, double& out) {
  if (PyFloat_CheckExact(object)) {
    out = PyFloat_AS_DOUBLE(object);
    return true;
  }
  const double value = PyFloat_AsDouble(object);
  if (value == -1.0 && PyErr_Occurred()) {
    add_argument_note(name);
    return false;
  }
  out = value;
  return true;
}

bool convert_text(PyObject* object, const char* name, std::string_view& out) {
  if (!PyUnicode_Check(object)) {
    PyErr_Format(PyExc_TypeError, "expected str, got %s", Py_TYPE(object)->tp_name);
    add_argument_note(name);
    return false;
  }
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(object, &size);
  if (data == nullptr) {
    // A str with no UTF-8 form (a lone surrogate) does not convert: a
    // TypeError like any other argument of the wrong kind.
    if (PyErr_ExceptionMatches(PyExc_UnicodeEncodeError)) {
      PyErr_Clear();
      PyErr_SetString(PyExc_TypeError, "expected str encodable as UTF-8");
    }
    add_argument_note(name);
    return false;
  }
  out = std::string_view(data, static_cast<std::size_t>(size));
  return true;
}

PyObject* convert_instance(PyObject* object, PyTypeObject* type, const char* class_name, const char* name) {
  if (type == nullptr) return nullptr;
  if (!PyObject_TypeCheck(object, type)) {
    PyErr_Format(PyExc_TypeError, "'%s' object cannot be converted to '%s'", Py_TYPE(object)->tp_name,
                 class_name);
    add_argument_note(name);
    return nullptr;
  }
  return object;
}

}  // namespace nivaltus::python
