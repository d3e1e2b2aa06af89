#include "python/thermal_eos_arguments.hpp"

#include <string>
#include <vector>

#include "python/arguments.hpp"
#include "python/rt_eos.hpp"

namespace nivaltus::python {
namespace {

// 'a'; 'a' and 'b'; 'a', 'b', and 'c', as the interpreter writes them.
std::string quoted_list(const std::vector<const char*>& names) {
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

PyObject* ConstructorArguments::rt_eos() const {
  PyTypeObject* type = rt_eos_type();
  if (type == nullptr) return nullptr;
  PyObject* object = values_[0];
  if (!PyObject_TypeCheck(object, type)) {
    PyErr_Format(PyExc_TypeError, "'%s' object cannot be converted to 'RtEos'", Py_TYPE(object)->tp_name);
    add_argument_note(names_[0]);
    return nullptr;
  }
  return object;
}

bool ConstructorArguments::real(std::size_t index, double& out, double fallback) const {
  if (values_[index] == nullptr) {
    out = fallback;
    return true;
  }
  return convert_float(values_[index], names_[index], out);
}

bool ConstructorArguments::optional_real(std::size_t index, std::optional<double>& out) const {
  if (values_[index] == nullptr || values_[index] == Py_None) {
    out.reset();
    return true;
  }
  double value = 0.0;
  if (!convert_float(values_[index], names_[index], value)) return false;
  out = value;
  return true;
}

bool ConstructorArguments::text(std::size_t index, std::string_view& out, std::string_view fallback) const {
  if (values_[index] == nullptr) {
    out = fallback;
    return true;
  }
  return convert_text(values_[index], names_[index], out);
}

const RtModel& rt_model_of(PyObject* rt_eos) { return reinterpret_cast<PyRtEos*>(rt_eos)->model; }

}  // namespace nivaltus::python
