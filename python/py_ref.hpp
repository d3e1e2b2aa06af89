#pragma once
// One owner per PyObject*: PyRef holds a strong reference and drops it when it
// goes out of scope. The interpreter lock must be held wherever a PyRef is
// created, reset or destroyed.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string_view>
#include <utility>

namespace nivaltus::python {

class PyRef {
 public:
  PyRef() = default;
  // Takes over a new reference (the result of a "new reference" API call,
  // possibly null when that call failed).
  static PyRef steal(PyObject* object) { return PyRef(object); }
  // Adds a reference to a borrowed object.
  static PyRef borrow(PyObject* object) {
    Py_XINCREF(object);
    return PyRef(object);
  }

  PyRef(const PyRef&) = delete;
  PyRef& operator=(const PyRef&) = delete;
  PyRef(PyRef&& other) noexcept : object_(other.release()) {}
  PyRef& operator=(PyRef&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~PyRef() { Py_XDECREF(object_); }

  PyObject* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Hands the reference to the caller (for APIs that steal, or as a return value).
  PyObject* release() { return std::exchange(object_, nullptr); }
  void reset(PyObject* object = nullptr) { Py_XDECREF(std::exchange(object_, object)); }

 private:
  explicit PyRef(PyObject* object) : object_(object) {}
  PyObject* object_ = nullptr;
};

// A new Python str from UTF-8 text (a new reference, null on failure).
inline PyObject* new_str(std::string_view text) {
  return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

}  // namespace nivaltus::python
