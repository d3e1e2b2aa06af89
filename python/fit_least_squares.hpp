#pragma once
// The module function fit_least_squares: the bounded least-squares engine
// over a residual function written in Python. The interpreter lock is held
// for the whole fit; the function is called on the calling thread with a new
// 1-D float64 array of the trial parameters at every residual evaluation and
// must return a float64 array (any shape, read in row-major order).

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace nivaltus::python {

// fit_least_squares(residual_function, initial, lower, upper, loss="linear", f_scale=1.0,
//                   max_nfev=None, global_parameter_count=None, point_count=None,
//                   latent_coordinate_count=None)
extern PyMethodDef fit_least_squares_definition;

}  // namespace nivaltus::python
