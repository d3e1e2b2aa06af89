#include "python/linear_propagation.hpp"

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

const fit::PropagatedUncertainty& propagation_of(PyObject* self) {
  return held_value<fit::PropagatedUncertainty>(self);
}

PyObject* linear_propagation_variance(PyObject* self, void*) {
  return guarded([&] { return copied_vector_array(propagation_of(self).variance); });
}

PyObject* linear_propagation_covariance(PyObject* self, void*) {
  return guarded([&]() -> PyObject* {
    const fit::PropagatedUncertainty& propagation = propagation_of(self);
    if (!propagation.covariance) Py_RETURN_NONE;
    // One variance per Jacobian row.
    const std::size_t m = propagation.variance.size();
    return copied_matrix_array(*propagation.covariance, m, m);
  });
}

PyGetSetDef linear_propagation_properties[] = {
    {"variance", linear_propagation_variance, nullptr, nullptr, nullptr},
    {"covariance", linear_propagation_covariance, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyTypeObject linear_propagation_type_object = static_type({
    .name = "nivaltus._engine.LinearPropagation",
    .doc = "Private result of native delta-method covariance propagation.",
    .basic_size = sizeof(HeldValue<fit::PropagatedUncertainty>),
    .dealloc = dealloc_held_value<fit::PropagatedUncertainty>,
    .repr = nullptr,
    .methods = nullptr,
    .properties = linear_propagation_properties,
});

PyObject* linear_uncertainty(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&] {
    return raising_memory_error([&]() -> PyObject* {
      static constexpr Parameters<4> names{"jacobian", "covariance", "state_variance", "full_covariance"};
      Arguments<4> bound;
      if (!bind_arguments_with_defaults("linear_uncertainty", names, 3, args, nargs, kwnames, bound.values))
        return nullptr;
      ArrayView jacobian_view;
      ArrayView covariance_view;
      ArrayView state_view;
      bool full_covariance = false;
      if (!convert_float64_array(bound[0], names[0], jacobian_view) ||
          !convert_float64_array(bound[1], names[1], covariance_view) ||
          !convert_float64_array(bound[2], names[2], state_view) ||
          !convert_bool(bound[3], names[3], full_covariance)) {
        return nullptr;
      }
      if (jacobian_view.ndim != 2) return raise(python_validation_error("jacobian must be two-dimensional"));
      const auto m = static_cast<std::size_t>(jacobian_view.shape[0]);
      const auto n = static_cast<std::size_t>(jacobian_view.shape[1]);
      std::vector<double> jacobian;
      std::vector<double> covariance;
      std::vector<double> state_variance;
      if (!copy_view(jacobian_view, jacobian) || !copy_view(covariance_view, covariance) ||
          !copy_view(state_view, state_variance)) {
        return nullptr;
      }
      fit::FitResult<fit::PropagatedUncertainty> result =
          fit::propagate_linear_uncertainty(jacobian, m, n, covariance, state_variance, full_covariance);
      if (!result) return raise(to_python_fit_error(result.error()));
      return new_held_value(linear_propagation_type(), std::move(*result));
    });
  });
}

}  // namespace

PyTypeObject* linear_propagation_type() { return ready_type(linear_propagation_type_object); }

PyMethodDef linear_uncertainty_definition = {
    "linear_uncertainty", method_pointer(linear_uncertainty), METH_FASTCALL | METH_KEYWORDS,
    "linear_uncertainty(jacobian, covariance, state_variance, full_covariance=False)\n--\n\n"};

}  // namespace nivaltus::python
