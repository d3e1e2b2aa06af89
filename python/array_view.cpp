#include "python/array_view.hpp"

#include <algorithm>
#include <string>

#include "python/arguments.hpp"
#include "python/exceptions.hpp"

namespace nivaltus::python {

bool ArrayView::same_shape(const ArrayView& other) const {
  return ndim == other.ndim && std::equal(shape, shape + ndim, other.shape);
}

void ArrayView::copy_to(double* out) const {
  if (size == 0) return;
  if (c_contiguous) {
    std::memcpy(out, data, size * sizeof(double));
    return;
  }
  RowMajorCursor cursor(*this);
  for (std::size_t k = 0; k < size; ++k) out[k] = cursor.next();
}

bool is_float64_array(PyObject* object) {
  require_numpy_api();
  if (!PyArray_Check(object)) return false;
  PyArray_Descr* float64 = PyArray_DescrFromType(NPY_DOUBLE);
  const bool equivalent =
      float64 != nullptr &&
      PyArray_EquivTypes(PyArray_DESCR(reinterpret_cast<PyArrayObject*>(object)), float64);
  Py_XDECREF(float64);
  return equivalent;
}

bool convert_float64_array(PyObject* object, const char* name, ArrayView& out) {
  require_numpy_api();
  if (!PyArray_Check(object)) {
    PyErr_Format(PyExc_TypeError, "'%s' object cannot be converted to a float64 NumPy array",
                 Py_TYPE(object)->tp_name);
    add_argument_note(name);
    return false;
  }
  auto* array = reinterpret_cast<PyArrayObject*>(object);
  if (!is_float64_array(object)) {
    PyErr_Format(PyExc_TypeError, "NumPy array of dtype %R cannot be converted to a float64 NumPy array",
                 reinterpret_cast<PyObject*>(PyArray_DESCR(array)));
    add_argument_note(name);
    return false;
  }
  const int ndim = PyArray_NDIM(array);
  if (ndim > max_array_dimensions) {
    raise(python_validation_error("native array inputs support at most 32 dimensions, got " +
                                  std::to_string(ndim)));
    add_argument_note(name);
    return false;
  }

  out.data = static_cast<const char*>(PyArray_DATA(array));
  out.ndim = ndim;
  out.size = 1;
  for (int d = 0; d < ndim; ++d) {
    out.shape[d] = PyArray_DIM(array, d);
    out.strides[d] = PyArray_STRIDE(array, d);
    out.size *= static_cast<std::size_t>(out.shape[d]);
  }
  out.c_contiguous = PyArray_IS_C_CONTIGUOUS(array);
  return true;
}

RowMajorCursor::RowMajorCursor(const ArrayView& view) : view_(view), row_(view.data) {
  if (view.c_contiguous || view.ndim == 0) {
    inner_extent_ = static_cast<npy_intp>(view.size);
    inner_stride_ = sizeof(double);
    outer_axes_ = 0;
  } else {
    inner_extent_ = view.shape[view.ndim - 1];
    inner_stride_ = view.strides[view.ndim - 1];
    outer_axes_ = view.ndim - 1;
  }
  if (inner_extent_ == 0) inner_extent_ = 1;  // empty views are never read
}

void RowMajorCursor::advance_outer() {
  for (int d = outer_axes_ - 1; d >= 0; --d) {
    row_ += view_.strides[d];
    if (++index_[d] < view_.shape[d]) return;
    row_ -= view_.strides[d] * view_.shape[d];
    index_[d] = 0;
  }
}

}  // namespace nivaltus::python
