#pragma once
// Reading a float64 NumPy argument of any shape and strides, element by element
// in logical row-major order (the last index varies fastest), whatever its
// memory layout.

#include <cstddef>
#include <cstring>

#include "python/numpy_api.hpp"

namespace nivaltus::python {

inline constexpr int max_array_dimensions = 32;

// A read-only view of an argument array; the array itself is the caller's
// argument and outlives the call.
struct ArrayView {
  const char* data = nullptr;
  int ndim = 0;
  npy_intp shape[max_array_dimensions] = {};
  npy_intp strides[max_array_dimensions] = {};
  std::size_t size = 0;  // product of the extents: 1 for 0-d, 0 when an extent is 0
  bool c_contiguous = false;

  bool same_shape(const ArrayView& other) const;
  // Copies the elements in row-major order into out[0 .. size).
  void copy_to(double* out) const;
};

// A NumPy array whose element type is equivalent to native float64 (lock held).
bool is_float64_array(PyObject* object);

// Accepts only a NumPy array whose element type is equivalent to native
// float64, with at most 32 dimensions. Otherwise sets TypeError (or
// ValidationError for too many dimensions) with the note naming the argument.
bool convert_float64_array(PyObject* object, const char* name, ArrayView& out);

// Walks a view in row-major order. Contiguous arrays are walked as one flat
// run; otherwise the last axis is the inner loop and an index vector carries
// the outer axes.
class RowMajorCursor {
 public:
  explicit RowMajorCursor(const ArrayView& view);

  // The current element's value; then moves to the next element. Called at
  // most view.size times.
  double next() {
    double value;
    std::memcpy(&value, row_ + inner_index_ * inner_stride_, sizeof value);
    if (++inner_index_ == inner_extent_) {
      inner_index_ = 0;
      advance_outer();
    }
    return value;
  }

 private:
  void advance_outer();

  const ArrayView& view_;
  const char* row_;
  npy_intp inner_index_ = 0;
  npy_intp inner_extent_ = 1;
  npy_intp inner_stride_ = 0;
  int outer_axes_ = 0;
  npy_intp index_[max_array_dimensions] = {};
};

}  // namespace nivaltus::python
