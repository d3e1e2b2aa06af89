#pragma once
// Arguments of the ThermalEos constructors: parameters after the first
// default are optional, every parameter may be given by position or keyword,
// and the first is an RtEos object. Conversions run in signature order; a
// failure keeps the interpreter's exception with the note
// "while processing '<name>'".

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

#include "core/rt_model.hpp"

namespace nivaltus::python {

// Bound constructor arguments (borrowed from the call) with their names.
class ConstructorArguments {
 public:
  ConstructorArguments(std::span<const char* const> names, std::span<PyObject* const> values)
      : names_(names), values_(values) {}

  // The RtEos object of parameter 0, or null with TypeError set.
  PyObject* rt_eos() const;

  // A float; an absent optional parameter takes `fallback`.
  bool real(std::size_t index, double& out, double fallback = 0.0) const;
  // Consecutive floats starting at `first`.
  template <std::size_t N>
  bool reals(std::size_t first, std::array<double, N>& out) const {
    for (std::size_t i = 0; i < N; ++i) {
      if (!real(first + i, out[i])) return false;
    }
    return true;
  }
  // Absent or None gives nullopt; anything else converts as a float.
  bool optional_real(std::size_t index, std::optional<double>& out) const;
  // A str, as UTF-8; an absent optional parameter takes `fallback`.
  bool text(std::size_t index, std::string_view& out, std::string_view fallback) const;

 private:
  std::span<const char* const> names_;
  std::span<PyObject* const> values_;
};

// The reference model held by an RtEos object.
const RtModel& rt_model_of(PyObject* rt_eos);

}  // namespace nivaltus::python
