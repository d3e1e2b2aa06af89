#pragma once
// The first argument of the ThermalEos constructors, an RtEos object; a
// failure keeps the interpreter's TypeError with the note
// "while processing '<name>'".

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <span>

#include "core/rt_model.hpp"

namespace nivaltus::python {

// Bound constructor arguments (borrowed from the call) with their names.
class ConstructorArguments {
 public:
  ConstructorArguments(std::span<const char* const> names, std::span<PyObject* const> values)
      : names_(names), values_(values) {}

  // The RtEos object of parameter 0, or null with TypeError set.
  PyObject* rt_eos() const;

 private:
  std::span<const char* const> names_;
  std::span<PyObject* const> values_;
};

// The reference model held by an RtEos object.
const RtModel& rt_model_of(PyObject* rt_eos);

}  // namespace nivaltus::python
