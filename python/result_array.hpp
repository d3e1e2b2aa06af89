#pragma once
// New float64 NumPy arrays over buffers that the module fills and then hands
// to NumPy without copying: a capsule set as the array's base owns the buffer
// and frees it when NumPy releases the array.

#include <cstddef>
#include <memory>
#include <vector>

#include "python/numpy_api.hpp"

namespace nivaltus::python {

class ResultBuffer {
 public:
  // Room for n doubles, left uninitialised. When the machine cannot hold them
  // the buffer is empty (false) and MemoryError is set.
  static ResultBuffer allocate(std::size_t n);

  explicit operator bool() const { return data_ != nullptr; }
  double* data() { return data_.get(); }

  // A new C-contiguous, writeable float64 array of the given shape (whose
  // extents multiply to the buffer's size) owning the buffer. Null with a
  // Python error set if the array object cannot be created.
  PyObject* into_array(int ndim, const npy_intp* shape) &&;

 private:
  struct Free {
    void operator()(double* data) const;
  };
  explicit ResultBuffer(double* data) : data_(data) {}
  std::unique_ptr<double, Free> data_;
};

// A new one-dimensional float64 array of the vector's length holding its
// values, taking over the vector's storage.
PyObject* vector_array(std::vector<double> values);

}  // namespace nivaltus::python
