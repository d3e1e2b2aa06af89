#pragma once
// NumPy arrays handed out by the result objects of the fitting and uncertainty
// functions: every access builds a new C-contiguous float64 array over a
// fresh copy, so changing it never changes the result object.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <span>
#include <vector>

#include "python/memory_error.hpp"

namespace nivaltus::python {

// A new 1-D array holding a copy of the values.
PyObject* copied_vector_array(std::span<const double> values);

// A new (rows, cols) array taking over `values`. Values that do not hold
// rows·cols entries raise ValidationError (code validation.invalid_input).
PyObject* matrix_array(std::vector<double> values, std::size_t rows, std::size_t cols);

// As matrix_array, over a copy of the values.
PyObject* copied_matrix_array(std::span<const double> values, std::size_t rows, std::size_t cols);

}  // namespace nivaltus::python
