#pragma once
// The fourteen static constructors of "ThermalEos", each named after the
// Python method it implements. Every one binds and converts all its
// arguments in signature order, copies the reference model out of the RtEos
// argument, runs the interface checks of its keywords and the model's own
// validation, and returns a new ThermalEos object.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace nivaltus::python {

// Each constructor with the text signature derived from its model's
// parameter table, "name(rt_eos, tr, ...)\n--\n\n".
#define NIVALTUS_THERMAL_EOS_CONSTRUCTOR(name)                                                         \
  PyObject* thermal_eos_##name(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames); \
  const char* thermal_eos_##name##_signature()

NIVALTUS_THERMAL_EOS_CONSTRUCTOR(dewaele_2006);
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(mie_gruneisen_debye);
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(mie_gruneisen_einstein);
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(dorogokupets_oganov_2007);
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(multi_oscillator_gruneisen);
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(sokolova2016);
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(asymptotic_power_law_mie_gruneisen_debye);
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(linear_thermal_pressure);
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(log_volume_thermal_pressure);
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(second_order_taylor_thermal_pressure);
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(debye_quadratic_thermal_pressure);
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(holland_powell_thermal_pressure);
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(thermal_modified_tait);
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(thermal_reference_state);

#undef NIVALTUS_THERMAL_EOS_CONSTRUCTOR

}  // namespace nivaltus::python
