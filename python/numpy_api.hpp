#pragma once
// The NumPy C API, reached through the "_ARRAY_API" capsule of NumPy's core
// module. It is imported lazily, at the first array use, not at module start.
// Every file that uses NumPy includes this header, never NumPy's directly.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#define PY_ARRAY_UNIQUE_SYMBOL nivaltus_ARRAY_API
#ifndef NIVALTUS_NUMPY_API_DEFINITION
#define NO_IMPORT_ARRAY
#endif
#include <numpy/arrayobject.h>

namespace nivaltus::python {

// Makes the NumPy API table available (lock held). Importing NumPy or reading
// its capsule failing is an internal fault whose message begins "Failed to
// access NumPy array API capsule".
void require_numpy_api();

}  // namespace nivaltus::python
