#include "python/least_squares_result.hpp"

#include <limits>
#include <optional>

#include "core/fit/covariance.hpp"
#include "python/fit_exceptions.hpp"
#include "python/fit_result_arrays.hpp"
#include "python/held_value.hpp"
#include "python/panic.hpp"
#include "python/py_ref.hpp"
#include "python/static_type.hpp"

namespace nivaltus::python {
namespace {

const LeastSquaresFit& fit_of(PyObject* self) { return held_value<LeastSquaresFit>(self); }
const fit::SolverResult& result_of(PyObject* self) { return fit_of(self).result; }

PyObject* least_squares_result_x(PyObject* self, void*) {
  return guarded([&] { return copied_vector_array(result_of(self).x); });
}

PyObject* least_squares_result_fun(PyObject* self, void*) {
  return guarded([&] { return copied_vector_array(result_of(self).fun); });
}

PyObject* least_squares_result_predicted_pressure(PyObject* self, void*) {
  return guarded([&]() -> PyObject* {
    const auto& predicted = fit_of(self).predicted_pressure;
    if (!predicted) Py_RETURN_NONE;
    return copied_vector_array(*predicted);
  });
}

// The m×n matrix, formed on each access: a structured fit keeps only its
// non-zero blocks, and the whole matrix (m·n values, quadratic in the point
// count) exists only while the caller holds this array.
PyObject* least_squares_result_jac(PyObject* self, void*) {
  return guarded([&] {
    return raising_memory_error([&]() -> PyObject* {
      const fit::SolverResult& result = result_of(self);
      const std::size_t m = result.m;
      const std::size_t n = result.x.size();
      if (n != 0 && m > std::numeric_limits<std::size_t>::max() / sizeof(double) / n) return PyErr_NoMemory();
      return matrix_array(result.jac.to_dense(), m, n);
    });
  });
}

// Asked between the stages of a dense covariance, which holds the
// interpreter lock for as long as it takes (seconds for thousands of
// parameters): a pending signal's handler runs here, and one that raised
// (Ctrl-C's KeyboardInterrupt) stops the computation with its exception set.
bool signal_handler_raised() { return PyErr_CheckSignals() != 0; }

PyObject* covariance_array(fit::FitResult<std::vector<double>> covariance, std::size_t k) {
  if (!covariance) return raise(to_python_fit_error(covariance.error()));
  return matrix_array(std::move(*covariance), k, k);
}

// The stored covariance of a native EOS fit, else the pseudo-inverse of JᵀJ of
// the reported Jacobian computed afresh: over all n parameters for a dense
// fit, the global ones with the latent coordinates profiled out for a
// structured one.
PyObject* least_squares_result_parameter_covariance(PyObject* self, void*) {
  return guarded([&] {
    return raising_memory_error([&]() -> PyObject* {
      const LeastSquaresFit& fit = fit_of(self);
      const std::size_t k = fit.k();
      if (fit.covariance) return copied_matrix_array(*fit.covariance, k, k);
      if (fit.layout) {
        return covariance_array(fit::parameter_covariance_structured(fit.result.jac, *fit.layout), k);
      }
      std::optional<fit::FitResult<std::vector<double>>> dense =
          fit::parameter_covariance(fit.result.jac, k, signal_handler_raised);
      if (!dense) return nullptr;  // the handler's exception is set
      return covariance_array(std::move(*dense), k);
    });
  });
}

PyObject* least_squares_result_cost(PyObject* self, void*) {
  return guarded([&] { return PyFloat_FromDouble(result_of(self).cost); });
}

PyObject* least_squares_result_optimality(PyObject* self, void*) {
  return guarded([&] { return PyFloat_FromDouble(result_of(self).optimality); });
}

PyObject* least_squares_result_success(PyObject* self, void*) {
  return guarded([&] { return PyBool_FromLong(result_of(self).success ? 1 : 0); });
}

PyObject* least_squares_result_message(PyObject* self, void*) {
  return guarded([&] { return new_str(result_of(self).message); });
}

PyObject* least_squares_result_status(PyObject* self, void*) {
  return guarded([&] { return PyLong_FromLong(result_of(self).status); });
}

PyObject* least_squares_result_nfev(PyObject* self, void*) {
  return guarded([&] { return PyLong_FromSize_t(result_of(self).nfev); });
}

PyObject* least_squares_result_njev(PyObject* self, void*) {
  return guarded([&] { return PyLong_FromSize_t(result_of(self).njev); });
}

PyGetSetDef least_squares_result_properties[] = {
    {"x", least_squares_result_x, nullptr, nullptr, nullptr},
    {"fun", least_squares_result_fun, nullptr, nullptr, nullptr},
    {"predicted_pressure", least_squares_result_predicted_pressure, nullptr,
     "Pressure predictions are present for end-to-end native EOS fits.", nullptr},
    {"jac", least_squares_result_jac, nullptr, nullptr, nullptr},
    {"parameter_covariance", least_squares_result_parameter_covariance, nullptr,
     "Leading model-parameter covariance after profiling latent coordinates.", nullptr},
    {"cost", least_squares_result_cost, nullptr, nullptr, nullptr},
    {"optimality", least_squares_result_optimality, nullptr, nullptr, nullptr},
    {"success", least_squares_result_success, nullptr, nullptr, nullptr},
    {"message", least_squares_result_message, nullptr, nullptr, nullptr},
    {"status", least_squares_result_status, nullptr, nullptr, nullptr},
    {"nfev", least_squares_result_nfev, nullptr, nullptr, nullptr},
    {"njev", least_squares_result_njev, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyTypeObject least_squares_result_type_object = static_type({
    .name = "nivaltus._engine.LeastSquaresResult",
    .doc = "Private SciPy-compatible view of a native least-squares result.",
    .basic_size = sizeof(HeldValue<LeastSquaresFit>),
    .dealloc = dealloc_held_value<LeastSquaresFit>,
    .repr = nullptr,
    .methods = nullptr,
    .properties = least_squares_result_properties,
});

}  // namespace

PyTypeObject* least_squares_result_type() { return ready_type(least_squares_result_type_object); }

PyObject* new_least_squares_result(LeastSquaresFit fit) {
  return new_held_value(least_squares_result_type(), std::move(fit));
}

}  // namespace nivaltus::python
