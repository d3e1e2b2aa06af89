#pragma once
// "HugoniotEos": the Python face of the linear shock Hugoniot.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "core/hugoniot/linear_us_up_hugoniot.hpp"
#include "python/held_value.hpp"

namespace nivaltus::python {

// A HugoniotEos object is a HeldValue<hugoniot::LinearUsUpHugoniot>.

// The class, created and readied on first use; null with a Python error set.
PyTypeObject* hugoniot_eos_type();

}  // namespace nivaltus::python
