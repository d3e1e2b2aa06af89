#pragma once
// "HugoniotEos": the Python face of the linear shock Hugoniot.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string_view>

#include "core/hugoniot/linear_us_up_hugoniot.hpp"

namespace nivaltus::python {

struct PyHugoniotEos {
  PyObject ob_base;
  hugoniot::LinearUsUpHugoniot hugoniot;
};

// The class, created and readied on first use; null with a Python error set.
PyTypeObject* hugoniot_eos_type();

// One of the ten quantity names at one input value (a pressure for "volume",
// a particle velocity for the *_particle_velocity names, else a volume).
// Pure: touches no Python object and may run on any thread.
EosResult<double> evaluate_model(const hugoniot::LinearUsUpHugoniot& hugoniot, std::string_view quantity,
                                 double value);

}  // namespace nivaltus::python
