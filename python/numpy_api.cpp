#define NIVALTUS_NUMPY_API_DEFINITION
#include "python/numpy_api.hpp"

#include <string>

#include "python/panic.hpp"
#include "python/py_ref.hpp"

namespace nivaltus::python {

void require_numpy_api() {
  if (PyArray_API != nullptr) return;
  // NumPy's loader tries "numpy._core._multiarray_umath" (NumPy 2) and then
  // "numpy.core._multiarray_umath", checks the ABI and feature versions, and
  // fills the table.
  if (_import_array() == 0) return;
  PyArray_API = nullptr;

  std::string cause = "unknown error";
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  PyRef owned_type = PyRef::steal(type);
  PyRef owned_value = PyRef::steal(value);
  PyRef owned_traceback = PyRef::steal(traceback);
  if (owned_value) {
    PyRef text = PyRef::steal(PyObject_Str(owned_value.get()));
    const char* utf8 = text ? PyUnicode_AsUTF8(text.get()) : nullptr;
    if (utf8 != nullptr) cause = std::string(Py_TYPE(owned_value.get())->tp_name) + ": " + utf8;
  }
  PyErr_Clear();
  panic("Failed to access NumPy array API capsule: " + cause);
}

}  // namespace nivaltus::python
