#include "python/fit_arguments.hpp"

#include "python/arguments.hpp"
#include "python/array_view.hpp"
#include "python/fit_exceptions.hpp"
#include "python/memory_error.hpp"
#include "python/py_ref.hpp"

namespace nivaltus::python {

bool copy_view(const ArrayView& view, std::vector<double>& out) {
  // The count comes from the caller's array, which may be a zero-stride view
  // of one value.
  return raising_memory_error([&] {
    out.resize(view.size);
    view.copy_to(out.data());
    return true;
  });
}

bool convert_optional_count(PyObject* object, const char* name, std::optional<std::size_t>& out) {
  out.reset();
  if (object == nullptr || object == Py_None) return true;
  PyRef integer = PyRef::steal(PyNumber_Index(object));
  if (!integer) {
    add_argument_note(name);
    return false;
  }
  const std::size_t value = PyLong_AsSize_t(integer.get());
  if (value == static_cast<std::size_t>(-1) && PyErr_Occurred()) {
    add_argument_note(name);
    return false;
  }
  out = value;
  return true;
}

bool convert_bool(PyObject* object, const char* name, bool& out, bool fallback) {
  if (object == nullptr) {
    out = fallback;
    return true;
  }
  if (!PyBool_Check(object)) {
    PyErr_Format(PyExc_TypeError, "'%s' object cannot be converted to 'bool'", Py_TYPE(object)->tp_name);
    add_argument_note(name);
    return false;
  }
  out = object == Py_True;
  return true;
}

bool convert_names(PyObject* object, const char* name, std::vector<std::string>& out) {
  out.clear();
  if (PyUnicode_Check(object) || !PySequence_Check(object)) {
    PyErr_Format(PyExc_TypeError, "'%s' object cannot be converted to a sequence of str",
                 Py_TYPE(object)->tp_name);
    add_argument_note(name);
    return false;
  }
  const Py_ssize_t count = PySequence_Size(object);
  if (count < 0) {
    add_argument_note(name);
    return false;
  }
  for (Py_ssize_t i = 0; i < count; ++i) {
    PyRef item = PyRef::steal(PySequence_GetItem(object, i));
    if (!item) {
      add_argument_note(name);
      return false;
    }
    std::string_view text;
    if (!convert_text(item.get(), name, text)) return false;
    out.emplace_back(text);
  }
  return true;
}

bool SolverArguments::convert(PyObject* const* bound, const char* const* names) {
  if (bound[0] != nullptr && !convert_text(bound[0], names[0], loss)) return false;
  if (bound[1] != nullptr && !convert_float(bound[1], names[1], f_scale)) return false;
  return convert_optional_count(bound[2], names[2], max_nfev);
}

bool SolverArguments::resolve(fit::SolverOptions& out) const {
  constexpr double tolerance = 1e-8;
  const fit::FitResult<fit::Loss> resolved = fit::Loss::from_name(loss);
  if (!resolved) {
    raise(to_python_fit_error(resolved.error()));
    return false;
  }
  out = fit::SolverOptions{max_nfev, f_scale, tolerance, tolerance, tolerance, *resolved};
  return true;
}

}  // namespace nivaltus::python
