#pragma once
// "MonteCarloSummary" and the module function monte_carlo_summary: per column
// of a rows×cols sample matrix (one draw per row), the sample standard
// deviation (divisor rows − 1), the percentile bounds at (1 − confidence)/2
// and 1 − (1 − confidence)/2 interpolated linearly between order statistics,
// and, when asked for, the sample covariance.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace nivaltus::python {

// The class, created and readied on first use; null with a Python error set.
PyTypeObject* monte_carlo_summary_type();

// monte_carlo_summary(samples, confidence, full_covariance=False)
extern PyMethodDef monte_carlo_summary_definition;

}  // namespace nivaltus::python
