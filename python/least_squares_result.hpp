#pragma once
// "LeastSquaresResult": the read-only result object of the three fitting
// functions. It keeps the engine's result whole and hands out fresh Python
// objects on every attribute access.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <optional>
#include <vector>

#include "core/fit/solver_types.hpp"

namespace nivaltus::python {

struct LeastSquaresFit {
  std::optional<fit::StructuredLayout> layout;  // present for a structured fit
  fit::SolverResult result;
  std::optional<std::vector<double>> predicted_pressure;  // native EOS fits only
  std::optional<std::vector<double>> covariance;          // k×k, native EOS fits only

  // The leading parameters whose covariance parameter_covariance reports: the
  // global ones of a structured fit, else all.
  std::size_t k() const { return layout ? layout->global_parameter_count : result.x.size(); }
};

// The class, created and readied on first use; null with a Python error set.
PyTypeObject* least_squares_result_type();

// A new LeastSquaresResult taking over the fit; null with a Python error set.
PyObject* new_least_squares_result(LeastSquaresFit fit);

}  // namespace nivaltus::python
