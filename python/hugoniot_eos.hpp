#pragma once
// "HugoniotEos": the Python face of the linear shock Hugoniot.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "core/hugoniot/linear_us_up_hugoniot.hpp"

namespace nivaltus::python {

struct PyHugoniotEos {
  PyObject ob_base;
  hugoniot::LinearUsUpHugoniot hugoniot;
};

// The class, created and readied on first use; null with a Python error set.
PyTypeObject* hugoniot_eos_type();

}  // namespace nivaltus::python
