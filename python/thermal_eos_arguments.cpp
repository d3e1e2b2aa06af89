#include "python/thermal_eos_arguments.hpp"

#include "python/arguments.hpp"
#include "python/rt_eos.hpp"

namespace nivaltus::python {

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
