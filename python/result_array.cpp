#include "python/result_array.hpp"

#include <sys/mman.h>

#include <cstdlib>

#include "python/memory_error.hpp"
#include "python/py_ref.hpp"

namespace nivaltus::python {
namespace {

constexpr const char* buffer_capsule_name = "nivaltus._engine.result_buffer";
constexpr const char* vector_capsule_name = "nivaltus._engine.result_vector";

// Large buffers are aligned to 2 MiB and marked for transparent huge pages, as
// NumPy does for its own large arrays: filling them then costs a few hundred
// page faults instead of one per 4 KiB.
constexpr std::size_t huge_page_size = std::size_t(2) << 20;
constexpr std::size_t huge_page_threshold = std::size_t(4) << 20;

void free_buffer(PyObject* capsule) { std::free(PyCapsule_GetPointer(capsule, buffer_capsule_name)); }

void free_vector(PyObject* capsule) {
  delete static_cast<std::vector<double>*>(PyCapsule_GetPointer(capsule, vector_capsule_name));
}

// Wraps `data` in a new float64 array and makes `owner` its base (stolen, also
// on failure, when it frees the buffer).
PyObject* array_over(double* data, int ndim, const npy_intp* shape, PyRef owner) {
  if (!owner) return nullptr;
  require_numpy_api();
  PyArray_Descr* float64 = PyArray_DescrFromType(NPY_DOUBLE);  // stolen by the constructor
  if (float64 == nullptr) return nullptr;
  PyRef array = PyRef::steal(PyArray_NewFromDescr(&PyArray_Type, float64, ndim, const_cast<npy_intp*>(shape),
                                                  nullptr, data, NPY_ARRAY_CARRAY, nullptr));
  if (!array) return nullptr;
  if (PyArray_SetBaseObject(reinterpret_cast<PyArrayObject*>(array.get()), owner.release()) != 0) {
    return nullptr;
  }
  return array.release();
}

}  // namespace

ResultBuffer ResultBuffer::allocate(std::size_t n) {
  // At least one element, so that even an empty result owns a real buffer.
  const std::size_t count = n == 0 ? 1 : n;
  if (count > (std::size_t(-1) - huge_page_size) / sizeof(double)) {
    raise_memory_error(std::size_t(-1));
    return ResultBuffer(nullptr);
  }
  const std::size_t bytes = count * sizeof(double);
  void* data = nullptr;
  if (bytes >= huge_page_threshold) {
    const std::size_t rounded = (bytes + huge_page_size - 1) / huge_page_size * huge_page_size;
    data = std::aligned_alloc(huge_page_size, rounded);
    if (data != nullptr) madvise(data, rounded, MADV_HUGEPAGE);  // advice only: failure is harmless
  } else {
    data = std::malloc(bytes);
  }
  if (data == nullptr) raise_memory_error(bytes);
  return ResultBuffer(static_cast<double*>(data));
}

void ResultBuffer::Free::operator()(double* data) const { std::free(data); }

PyObject* ResultBuffer::into_array(int ndim, const npy_intp* shape) && {
  double* data = data_.get();
  PyRef owner = PyRef::steal(PyCapsule_New(data, buffer_capsule_name, free_buffer));
  if (owner) data_.release();
  return array_over(data, ndim, shape, std::move(owner));
}

PyObject* vector_array(std::vector<double> values) {
  auto* owned = new std::vector<double>(std::move(values));
  const npy_intp shape[1] = {static_cast<npy_intp>(owned->size())};
  // An empty vector has no storage; the array still needs a non-null pointer.
  static double empty_storage = 0.0;
  double* data = owned->empty() ? &empty_storage : owned->data();
  PyRef owner = PyRef::steal(PyCapsule_New(owned, vector_capsule_name, free_vector));
  if (!owner) {
    delete owned;
    return nullptr;
  }
  return array_over(data, 1, shape, std::move(owner));
}

}  // namespace nivaltus::python
