// Start-up of nivaltus._engine: multi-phase initialisation with one execution
// step, which registers the classes and then the functions, in a fixed order
// that `__all__` records.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "python/fit_least_squares.hpp"
#include "python/gil.hpp"
#include "python/hugoniot_eos.hpp"
#include "python/least_squares_result.hpp"
#include "python/linear_propagation.hpp"
#include "python/monte_carlo_summary.hpp"
#include "python/native_fit.hpp"
#include "python/panic.hpp"
#include "python/py_ref.hpp"
#include "python/rt_eos.hpp"
#include "python/thermal_eos.hpp"

namespace nivaltus::python {
namespace {

// Appends `name` to the module's `__all__` (created empty when missing), then
// sets the attribute. Returns false with the Python error of a failed setattr.
bool add_object(PyObject* module, const char* name, PyObject* object) {
  PyRef all = PyRef::steal(PyObject_GetAttrString(module, "__all__"));
  if (!all) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
    PyErr_Clear();
    all = PyRef::steal(PyList_New(0));
    if (!all || PyObject_SetAttrString(module, "__all__", all.get()) != 0) return false;
  }
  if (!PyList_Check(all.get())) {
    PyErr_SetString(PyExc_TypeError, "the module's __all__ is not a list");
    return false;
  }
  PyRef name_text = PyRef::steal(PyUnicode_FromString(name));
  if (!name_text || PyList_Append(all.get(), name_text.get()) != 0) {
    PyErr_Clear();
    panic("could not append __name__ to __all__");
  }
  return PyObject_SetAttr(module, name_text.get(), object) == 0;
}

bool add_class(PyObject* module, const char* name, PyTypeObject* type) {
  if (type == nullptr) return false;
  return add_object(module, name, reinterpret_cast<PyObject*>(type));
}

// Wraps the definition as a built-in function bound to the module.
bool add_function(PyObject* module, PyMethodDef& definition) {
  PyRef module_name = PyRef::steal(PyModule_GetNameObject(module));
  if (!module_name) return false;
  PyRef function = PyRef::steal(PyCFunction_NewEx(&definition, module, module_name.get()));
  if (!function) return false;
  return add_object(module, definition.ml_name, function.get());
}

// The classes first, then the functions, in the order below, which `__all__`
// keeps; the first failure ends registration.
bool register_module(PyObject* module) {
  return add_class(module, "RtEos", rt_eos_type()) &&                             //
         add_class(module, "HugoniotEos", hugoniot_eos_type()) &&                 //
         add_class(module, "ThermalEos", thermal_eos_type()) &&                   //
         add_class(module, "LeastSquaresResult", least_squares_result_type()) &&  //
         add_class(module, "LinearPropagation", linear_propagation_type()) &&     //
         add_class(module, "MonteCarloSummary", monte_carlo_summary_type()) &&    //
         add_function(module, fit_least_squares_definition) &&                    //
         add_function(module, fit_rt_eos_native_definition) &&                    //
         add_function(module, fit_thermal_eos_native_definition) &&               //
         add_function(module, linear_uncertainty_definition) &&                   //
         add_function(module, monte_carlo_summary_definition) &&                  //
         add_function(module, holzapfel_derivative_analytical_definition);
}

int module_exec(PyObject* module) {
  GilAcquire attached;
  return guarded_status([&] {
    if (!PyModule_Check(module)) {
      PyErr_Format(PyExc_TypeError, "'%s' object cannot be converted to 'PyModule'",
                   Py_TYPE(module)->tp_name);
      return -1;
    }
    return register_module(module) ? 0 : -1;
  });
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
    {0, nullptr},
};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "_engine",     // m_name
    "",            // m_doc
    0,             // m_size: no per-module state
    nullptr,       // m_methods: functions are added by the execution step
    module_slots,  // m_slots
    nullptr,       // m_traverse
    nullptr,       // m_clear
    nullptr,       // m_free
};

}  // namespace
}  // namespace nivaltus::python

PyMODINIT_FUNC PyInit__engine() { return PyModuleDef_Init(&nivaltus::python::module_definition); }
