#pragma once
// Allocations whose size comes from the caller's input: result arrays, copies
// of input arrays, the vectors and matrices of a fit. A size the machine cannot
// hold is the caller's MemoryError, raised with nothing left allocated, not a
// fault of the module. Call these with the interpreter lock held.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <stdexcept>
#include <vector>

namespace nivaltus::python {

// Sets MemoryError "cannot allocate <bytes> bytes"; returns null for
// `return raise_memory_error(bytes);` in a function returning PyObject*.
inline PyObject* raise_memory_error(std::size_t bytes) {
  return PyErr_Format(PyExc_MemoryError, "cannot allocate %zu bytes", bytes);
}

// Runs `allocate` (which sizes containers, e.g. v.resize(n)); a std::bad_alloc
// or std::length_error from it becomes MemoryError and the result is false.
// Whatever `allocate` had already allocated is released by its own owners.
template <class Allocate>
[[nodiscard]] bool allocate_or_raise_memory_error(Allocate&& allocate, std::size_t bytes) {
  try {
    allocate();
    return true;
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  raise_memory_error(bytes);
  return false;
}

// n value-initialised elements, or nullopt with MemoryError set.
template <class T>
std::optional<std::vector<T>> caller_sized_vector(std::size_t n) {
  const std::size_t bytes = n > SIZE_MAX / sizeof(T) ? SIZE_MAX : n * sizeof(T);
  std::optional<std::vector<T>> out;
  if (!allocate_or_raise_memory_error([&] { out.emplace(n); }, bytes)) return std::nullopt;
  return out;
}

}  // namespace nivaltus::python
