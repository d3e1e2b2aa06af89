#pragma once
// The Python boundary of internal faults (core/internal_fault.hpp): every
// boundary (`guarded`) turns whatever unwinds to it into the Python exception
// PanicException.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "core/internal_fault.hpp"

namespace nivaltus::python {

using nivaltus::InternalFault;
using nivaltus::panic;

// Inside a catch block: sets PanicException for the exception being handled
// (reporting it first if it is not an InternalFault, which reported itself).
void raise_panic_from_current_exception() noexcept;

// The process-wide PanicException class (a direct subclass of BaseException),
// created on first use; null with a Python error set if it cannot be created.
PyObject* panic_exception_type();

// Runs `body` at a Python boundary. A Python error already set by `body` comes
// with its null/-1 result; a C++ exception becomes PanicException.
template <class Body>
PyObject* guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    raise_panic_from_current_exception();
    return nullptr;
  }
}

template <class Body>
int guarded_status(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    raise_panic_from_current_exception();
    return -1;
  }
}

}  // namespace nivaltus::python
