#pragma once
// Conversions of the arguments of the fitting and uncertainty functions. Each
// follows the binding layer's rule: on failure the interpreter's exception is
// kept and gains the note "while processing '<name>'". A null object stands
// for an omitted optional argument.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/fit/solver_types.hpp"

namespace nivaltus::python {

struct ArrayView;

// The view's elements in logical row-major order; a copy too large to
// allocate raises MemoryError.
bool copy_view(const ArrayView& view, std::vector<double>& out);

// Omitted or None gives nullopt; otherwise a non-negative integer (any object
// with an integer conversion): a negative value raises OverflowError, a float
// TypeError.
bool convert_optional_count(PyObject* object, const char* name, std::optional<std::size_t>& out);

// A Python bool (True or False, nothing else); omitted gives `fallback`.
bool convert_bool(PyObject* object, const char* name, bool& out, bool fallback = false);

// A sequence of str (list, tuple, ...). A single str is refused, although it
// is a sequence, since its characters are never the intended names.
bool convert_names(PyObject* object, const char* name, std::vector<std::string>& out);

// The solver arguments of the three fitting functions: loss="linear",
// f_scale=1.0, max_nfev=None. The tolerances of a fit started from Python are
// fixed at 1e-8.
struct SolverArguments {
  std::string_view loss = "linear";
  double f_scale = 1.0;
  std::optional<std::size_t> max_nfev;

  // Converts the three bound arguments (null when omitted) in this order.
  bool convert(PyObject* const* bound, const char* const* names);
  // The options, the loss resolved by its exact name; false with the fit
  // error of an unknown loss set.
  bool resolve(fit::SolverOptions& out) const;
};

}  // namespace nivaltus::python
