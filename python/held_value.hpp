#pragma once
// Python objects that hold one C++ value (a model or an engine result) and
// nothing else: no references to Python objects, immutable after creation. The
// value is constructed in place when the object is made and destroyed with it.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <new>
#include <utility>

namespace nivaltus::python {

template <class Value>
struct HeldValue {
  PyObject ob_base;
  Value value;
};

template <class Value>
const Value& held_value(PyObject* self) {
  return reinterpret_cast<HeldValue<Value>*>(self)->value;
}

// A new instance of `type` (null when the type could not be readied, or with
// MemoryError) taking over `value`.
template <class Value>
PyObject* new_held_value(PyTypeObject* type, Value&& value) {
  if (type == nullptr) return nullptr;
  PyObject* self = type->tp_alloc(type, 0);
  if (self == nullptr) return nullptr;
  new (&reinterpret_cast<HeldValue<Value>*>(self)->value) Value(std::move(value));
  return self;
}

template <class Value>
void dealloc_held_value(PyObject* self) {
  reinterpret_cast<HeldValue<Value>*>(self)->value.~Value();
  Py_TYPE(self)->tp_free(self);
}

}  // namespace nivaltus::python
