#pragma once
// "RtEos": the Python face of one run-time isothermal model.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "core/rt_model.hpp"
#include "python/held_value.hpp"

namespace nivaltus::python {

// An RtEos object is a HeldValue<RtModel>: held_value<RtModel>(object) is its model.

// The class, created and readied on first use; null with a Python error set.
PyTypeObject* rt_eos_type();

// A new RtEos object holding a copy of the model.
PyObject* new_rt_eos(const RtModel& model);

// Module function holzapfel_derivative_analytical(v0, volume, bulk_modulus, k0, c0, c2).
extern PyMethodDef holzapfel_derivative_analytical_definition;

}  // namespace nivaltus::python
