#pragma once
// The module's classes are static type objects: created once per process when
// first registered and never freed, so objects survive a re-import of the
// module. They have no tp_new (Python cannot instantiate them), are not base
// types (no subclasses) and are immutable.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace nivaltus::python {

struct StaticTypeSpec {
  const char* name;  // qualified: "nivaltus._engine.<Class>"
  const char* doc;
  Py_ssize_t basic_size;
  destructor dealloc;
  reprfunc repr;
  PyMethodDef* methods;
  PyGetSetDef* properties;
};

inline PyTypeObject static_type(const StaticTypeSpec& spec) {
  PyTypeObject type{};
  Py_SET_REFCNT(&type.ob_base.ob_base, 1);
  type.tp_name = spec.name;
  type.tp_doc = spec.doc;
  type.tp_basicsize = spec.basic_size;
  type.tp_dealloc = spec.dealloc;
  type.tp_repr = spec.repr;
  type.tp_methods = spec.methods;
  type.tp_getset = spec.properties;
  type.tp_flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION | Py_TPFLAGS_IMMUTABLETYPE;
  return type;
}

// Readies the type on first use (lock held); null with a Python error on failure.
inline PyTypeObject* ready_type(PyTypeObject& type) {
  if ((type.tp_flags & Py_TPFLAGS_READY) == 0 && PyType_Ready(&type) < 0) return nullptr;
  return &type;
}

// Casts a FASTCALL|KEYWORDS function to the PyCFunction slot of a method table.
template <class Function>
PyCFunction method_pointer(Function function) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

}  // namespace nivaltus::python
