#include "python/fit_result_arrays.hpp"

#include <string>

#include "python/exceptions.hpp"
#include "python/numpy_api.hpp"
#include "python/py_ref.hpp"
#include "python/result_array.hpp"

namespace nivaltus::python {

PyObject* copied_vector_array(std::span<const double> values) {
  return raising_memory_error(
      [&] { return vector_array(std::vector<double>(values.begin(), values.end())); });
}

PyObject* matrix_array(std::vector<double> values, std::size_t rows, std::size_t cols) {
  const bool fits = cols == 0 ? values.empty() : values.size() % cols == 0 && values.size() / cols == rows;
  if (!fits) {
    return raise(python_validation_error("stored matrix of " + std::to_string(values.size()) +
                                         " values does not have the shape (" + std::to_string(rows) + ", " +
                                         std::to_string(cols) + ")"));
  }
  PyRef flat = PyRef::steal(vector_array(std::move(values)));
  if (!flat) return nullptr;
  npy_intp shape[2] = {static_cast<npy_intp>(rows), static_cast<npy_intp>(cols)};
  PyArray_Dims dims{shape, 2};
  return PyArray_Newshape(reinterpret_cast<PyArrayObject*>(flat.get()), &dims, NPY_CORDER);
}

PyObject* copied_matrix_array(std::span<const double> values, std::size_t rows, std::size_t cols) {
  return raising_memory_error(
      [&] { return matrix_array(std::vector<double>(values.begin(), values.end()), rows, cols); });
}

}  // namespace nivaltus::python
