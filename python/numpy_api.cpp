#define NIVALTUS_NUMPY_API_DEFINITION
#include "python/numpy_api.hpp"

#include <string>

#include "python/exceptions.hpp"
#include "python/panic.hpp"

namespace nivaltus::python {

void require_numpy_api() {
  if (PyArray_API != nullptr) return;
  // NumPy's loader tries "numpy._core._multiarray_umath" (NumPy 2) and then
  // "numpy.core._multiarray_umath", checks the ABI and feature versions, and
  // fills the table.
  if (_import_array() == 0) return;
  PyArray_API = nullptr;

  panic("Failed to access NumPy array API capsule: " + take_error_text());
}

}  // namespace nivaltus::python
