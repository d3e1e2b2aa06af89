#include "python/fit_least_squares.hpp"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/fit/least_squares.hpp"
#include "python/arguments.hpp"
#include "python/array_view.hpp"
#include "python/exceptions.hpp"
#include "python/fit_arguments.hpp"
#include "python/fit_exceptions.hpp"
#include "python/fit_result_arrays.hpp"
#include "python/least_squares_result.hpp"
#include "python/panic.hpp"
#include "python/py_ref.hpp"
#include "python/static_type.hpp"

namespace nivaltus::python {
namespace {

// The type's own name ("list", "ndarray"), as in the interpreter's messages.
std::string type_name(PyObject* object) {
  PyRef name = PyRef::steal(PyType_GetName(Py_TYPE(object)));
  const char* text = name ? PyUnicode_AsUTF8(name.get()) : nullptr;
  if (text == nullptr) {
    PyErr_Clear();
    return Py_TYPE(object)->tp_name;
  }
  return text;
}

// The residual function seen by the engine: a call into the interpreter per
// evaluation. An Exception raised on the way becomes EvaluationFailed with
// "<type>: <str>" and is dropped. Any other BaseException (KeyboardInterrupt,
// SystemExit, GeneratorExit) is the user's or the interpreter's, not a fault
// of the evaluation: it is kept in `interrupt`, the evaluation fails (an
// EvaluationFailed, which ends the run at once), and the caller raises it
// unchanged, so that Ctrl-C and sys.exit() pass through `except Exception`
// around a fit.
class PythonResidual {
 public:
  PythonResidual(PyObject* function, std::optional<PyError>& interrupt)
      : function_(function), interrupt_(&interrupt) {}

  fit::FitResult<std::vector<double>> operator()(std::span<const double> parameters) const {
    // A residual function implemented in C never runs the interpreter's
    // signal check itself; a pending Ctrl-C is honoured here.
    if (PyErr_CheckSignals() != 0) return failed();
    PyRef argument = PyRef::steal(copied_vector_array(parameters));
    if (!argument) return failed();
    PyRef returned = PyRef::steal(PyObject_CallOneArg(function_, argument.get()));
    if (!returned) return failed();

    PyObject* value = returned.get();
    if (!is_float64_array(value)) {
      // Appended rather than prefixed: g++ 12 mistakes "'" + std::string for an
      // overlapping copy (-Wrestrict).
      std::string message = "'";
      message += value == Py_None ? std::string("None'") : type_name(value) + "' object";
      message += " is not an instance of 'ndarray[float64]'";
      return fit::fail_evaluation(std::move(message));
    }
    ArrayView view;
    if (!convert_float64_array(value, "residual", view)) return failed();
    std::vector<double> residuals(view.size);
    view.copy_to(residuals.data());
    return residuals;
  }

 private:
  // The evaluation's failure for the current Python exception, which is
  // taken: an Exception as its text, anything else kept as the interrupt.
  std::unexpected<fit::FitError> failed() const {
    if (!PyErr_ExceptionMatches(PyExc_Exception)) {
      *interrupt_ = PyError::fetch();
      return fit::fail_evaluation("evaluation interrupted");
    }
    return fit::fail_evaluation(take_error_text());
  }

  PyObject* function_;
  std::optional<PyError>* interrupt_;
};

constexpr Parameters<10> fit_least_squares_names{"residual_function",
                                                 "initial",
                                                 "lower",
                                                 "upper",
                                                 "loss",
                                                 "f_scale",
                                                 "max_nfev",
                                                 "global_parameter_count",
                                                 "point_count",
                                                 "latent_coordinate_count"};

// A structured layout needs g, P and L non-zero and g + P·L equal to the
// parameter count, computed without wrapping.
fit::FitResult<void> check_layout(const fit::StructuredLayout& layout, std::size_t parameter_count) {
  if (layout.global_parameter_count == 0 || layout.point_count == 0 || layout.latent_coordinate_count == 0) {
    return fit::fail_input("structured layout does not match the parameter vector");
  }
  return fit::check_layout_parameters(layout, parameter_count);
}

PyObject* fit_least_squares(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&] {
    return raising_memory_error([&]() -> PyObject* {
      const auto& names = fit_least_squares_names;
      Arguments<10> bound;
      if (!bind_arguments_with_defaults("fit_least_squares", names, 4, args, nargs, kwnames, bound.values))
        return nullptr;
      PyObject* residual_function = bound[0];
      std::array<ArrayView, 3> vectors;
      for (std::size_t i = 0; i < 3; ++i) {
        if (!convert_float64_array(bound[1 + i], names[1 + i], vectors[i])) return nullptr;
      }
      SolverArguments solver;
      if (!solver.convert(&bound.values[4], &names[4])) return nullptr;
      std::array<std::optional<std::size_t>, 3> counts;
      for (std::size_t i = 0; i < 3; ++i) {
        if (!convert_optional_count(bound[7 + i], names[7 + i], counts[i])) return nullptr;
      }

      std::vector<double> initial;
      std::vector<double> lower;
      std::vector<double> upper;
      if (!copy_view(vectors[0], initial) || !copy_view(vectors[1], lower) || !copy_view(vectors[2], upper))
        return nullptr;
      fit::SolverOptions options;
      if (!solver.resolve(options)) return nullptr;
      // No count: a dense problem; all three: a structured one.
      const int counts_given = (counts[0] ? 1 : 0) + (counts[1] ? 1 : 0) + (counts[2] ? 1 : 0);
      if (counts_given == 1 || counts_given == 2) {
        return raise(
            python_fit_validation_error("all structured least-squares dimensions must be supplied together"));
      }
      std::optional<fit::StructuredLayout> layout;
      if (counts_given == 3) {
        layout = fit::StructuredLayout{*counts[0], *counts[1], *counts[2]};
        if (auto checked = check_layout(*layout, initial.size()); !checked) {
          return raise(to_python_fit_error(checked.error()));
        }
      }

      std::optional<PyError> interrupt;
      fit::FitResult<fit::SolverResult> result = fit::least_squares_internal(
          initial, lower, upper, options, layout, PythonResidual(residual_function, interrupt));
      if (interrupt) return raise(std::move(*interrupt));
      if (!result) return raise(to_python_fit_error(result.error()));
      return new_least_squares_result(
          LeastSquaresFit{layout, std::move(*result), std::nullopt, std::nullopt});
    });
  });
}

}  // namespace

PyMethodDef fit_least_squares_definition = {
    "fit_least_squares", method_pointer(fit_least_squares), METH_FASTCALL | METH_KEYWORDS,
    "fit_least_squares(residual_function, initial, lower, upper, loss=\"linear\", f_scale=1.0, "
    "max_nfev=None, global_parameter_count=None, point_count=None, latent_coordinate_count=None)\n--\n\n"};

}  // namespace nivaltus::python
