#pragma once
// "ThermalEos": the Python face of one run-time thermal model. Built only by
// its static constructors (thermal_eos_constructors.hpp); immutable.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "core/thermal/thermal_model.hpp"
#include "python/held_value.hpp"

namespace nivaltus::python {

// A ThermalEos object is a HeldValue<ThermalModel>: held_value<ThermalModel>(object) is its model.

// The class, created and readied on first use; null with a Python error set.
PyTypeObject* thermal_eos_type();

// A new ThermalEos object holding a copy of the model; null with a Python
// error set when the object cannot be created.
PyObject* new_thermal_eos(const ThermalModel& model);

}  // namespace nivaltus::python
