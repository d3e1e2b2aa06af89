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

const RtModel& rt_model_of(PyObject* rt_eos) { return reinterpret_cast<PyRtEos*>(rt_eos)->model; }

}  // namespace nivaltus::python
