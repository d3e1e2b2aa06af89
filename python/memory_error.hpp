#pragma once
// Allocations whose size comes from the caller's input: result arrays, copies
// of input arrays, the vectors and matrices of a fit. A size the machine cannot
// hold is the caller's MemoryError, raised with nothing left allocated, not a
// fault of the module. Call these with the interpreter lock held.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <new>
#include <stdexcept>

namespace nivaltus::python {

// Sets MemoryError "cannot allocate <bytes> bytes"; returns null for
// `return raise_memory_error(bytes);` in a function returning PyObject*.
inline PyObject* raise_memory_error(std::size_t bytes) {
  return PyErr_Format(PyExc_MemoryError, "cannot allocate %zu bytes", bytes);
}

// Runs `body`, which returns a new reference (or true) on success and null
// (or false) with an error set on failure; an allocation it cannot make
// becomes MemoryError and that failure value. Whatever the body built is
// released by unwinding.
template <class Body>
auto raising_memory_error(Body&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  PyErr_NoMemory();
  return {};
}

}  // namespace nivaltus::python
