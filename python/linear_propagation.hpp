#pragma once
// "LinearPropagation" and the module function linear_uncertainty: first-order
// propagation of a parameter covariance C through a Jacobian J, with an
// independent variance s_i added to each output,
//   variance_i = max((J·C·Jᵀ)_ii + s_i, 0),
// and, when asked for, the full J·C·Jᵀ + diag(s).

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace nivaltus::python {

// The class, created and readied on first use; null with a Python error set.
PyTypeObject* linear_propagation_type();

// linear_uncertainty(jacobian, covariance, state_variance, full_covariance=False)
extern PyMethodDef linear_uncertainty_definition;

}  // namespace nivaltus::python
