#pragma once
// The module functions fit_rt_eos_native and fit_thermal_eos_native: EOS fits
// whose residuals are computed natively. The arguments are converted and
// copied with the interpreter lock held; the lock is released for the whole
// fit, which reads only those copies.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace nivaltus::python {

// fit_rt_eos_native(model, parameter_names, initial, lower, upper, pressure, volume, pressure_sigma,
//                   volume_sigma=None, observation_cholesky=None, loss="linear", f_scale=1.0, max_nfev=None)
extern PyMethodDef fit_rt_eos_native_definition;

// fit_thermal_eos_native(model, parameter_names, initial, lower, upper, pressure, volume, temperature,
//                        pressure_sigma, volume_sigma=None, temperature_sigma=None,
//                        observation_cholesky=None, loss="linear", f_scale=1.0, max_nfev=None)
extern PyMethodDef fit_thermal_eos_native_definition;

}  // namespace nivaltus::python
