#include "python/monte_carlo_summary.hpp"

#include <vector>

#include "core/fit/uncertainty.hpp"
#include "python/arguments.hpp"
#include "python/array_view.hpp"
#include "python/exceptions.hpp"
#include "python/fit_arguments.hpp"
#include "python/fit_exceptions.hpp"
#include "python/fit_result_arrays.hpp"
#include "python/held_value.hpp"
#include "python/panic.hpp"
#include "python/static_type.hpp"

namespace nivaltus::python {
namespace {

const fit::MonteCarloStatistics& statistics_of(PyObject* self) {
  return held_value<fit::MonteCarloStatistics>(self);
}

PyObject* monte_carlo_summary_standard_error(PyObject* self, void*) {
  return guarded([&] { return copied_vector_array(statistics_of(self).standard_error); });
}

PyObject* monte_carlo_summary_lower(PyObject* self, void*) {
  return guarded([&] { return copied_vector_array(statistics_of(self).lower); });
}

PyObject* monte_carlo_summary_upper(PyObject* self, void*) {
  return guarded([&] { return copied_vector_array(statistics_of(self).upper); });
}

PyObject* monte_carlo_summary_covariance(PyObject* self, void*) {
  return guarded([&]() -> PyObject* {
    const fit::MonteCarloStatistics& statistics = statistics_of(self);
    if (!statistics.covariance) Py_RETURN_NONE;
    // One standard error per sample column.
    const std::size_t cols = statistics.standard_error.size();
    return copied_matrix_array(*statistics.covariance, cols, cols);
  });
}

PyGetSetDef monte_carlo_summary_properties[] = {
    {"standard_error", monte_carlo_summary_standard_error, nullptr, nullptr, nullptr},
    {"lower", monte_carlo_summary_lower, nullptr, nullptr, nullptr},
    {"upper", monte_carlo_summary_upper, nullptr, nullptr, nullptr},
    {"covariance", monte_carlo_summary_covariance, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyTypeObject monte_carlo_summary_type_object = static_type({
    .name = "nivaltus._engine.MonteCarloSummary",
    .doc = "Private result of native Monte Carlo summary statistics.",
    .basic_size = sizeof(HeldValue<fit::MonteCarloStatistics>),
    .dealloc = dealloc_held_value<fit::MonteCarloStatistics>,
    .repr = nullptr,
    .methods = nullptr,
    .properties = monte_carlo_summary_properties,
});

PyObject* monte_carlo_summary(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&] {
    return raising_memory_error([&]() -> PyObject* {
      static constexpr Parameters<3> names{"samples", "confidence", "full_covariance"};
      Arguments<3> bound;
      if (!bind_arguments_with_defaults("monte_carlo_summary", names, 2, args, nargs, kwnames, bound.values))
        return nullptr;
      ArrayView samples_view;
      double confidence = 0.0;
      bool full_covariance = false;
      if (!convert_float64_array(bound[0], names[0], samples_view) ||
          !convert_float(bound[1], names[1], confidence) ||
          !convert_bool(bound[2], names[2], full_covariance)) {
        return nullptr;
      }
      if (samples_view.ndim != 2) return raise(python_validation_error("samples must be two-dimensional"));
      const auto rows = static_cast<std::size_t>(samples_view.shape[0]);
      const auto cols = static_cast<std::size_t>(samples_view.shape[1]);
      std::vector<double> samples;
      if (!copy_view(samples_view, samples)) return nullptr;
      fit::FitResult<fit::MonteCarloStatistics> statistics =
          fit::summarize_monte_carlo(samples, rows, cols, full_covariance, confidence);
      if (!statistics) return raise(to_python_fit_error(statistics.error()));
      return new_held_value(monte_carlo_summary_type(), std::move(*statistics));
    });
  });
}

}  // namespace

PyTypeObject* monte_carlo_summary_type() { return ready_type(monte_carlo_summary_type_object); }

PyMethodDef monte_carlo_summary_definition = {
    "monte_carlo_summary", method_pointer(monte_carlo_summary), METH_FASTCALL | METH_KEYWORDS,
    "monte_carlo_summary(samples, confidence, full_covariance=False)\n--\n\n"};

}  // namespace nivaltus::python
