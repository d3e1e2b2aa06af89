#pragma once
// Argument binding and conversion for functions called through vectorcall
// (METH_FASTCALL | METH_KEYWORDS). Every parameter is required and may be given
// by position or by keyword. A failed conversion keeps the interpreter's own
// exception and gains the note "while processing '<name>'".

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace nivaltus::python {

// The signature of every method and function of the module.
using FastcallFunction = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);

// Fills `out` (borrowed references, one per name) or sets an interpreter-style
// TypeError: too many positional arguments, an unexpected or repeated keyword,
// a missing argument.
bool bind_arguments(const char* function_name, std::span<const char* const> names, PyObject* const* args,
                    Py_ssize_t positional_count, PyObject* keyword_names, std::span<PyObject*> out);

// As bind_arguments, except that only the first `required` parameters must
// be present; an absent optional parameter is left null. Messages name the
// function as given ("ThermalEos.<method>").
bool bind_arguments_with_defaults(const char* function_name, std::span<const char* const> names,
                                  std::size_t required, PyObject* const* args, Py_ssize_t positional_count,
                                  PyObject* keyword_names, std::span<PyObject*> out);

template <std::size_t N>
using Parameters = std::array<const char*, N>;

template <std::size_t N>
struct Arguments {
  std::array<PyObject*, N> values{};
  PyObject* operator[](std::size_t i) const { return values[i]; }
};

template <std::size_t N>
bool bind_arguments(const char* function_name, const Parameters<N>& names, PyObject* const* args,
                    Py_ssize_t positional_count, PyObject* keyword_names, Arguments<N>& out) {
  return bind_arguments(function_name, std::span<const char* const>(names), args, positional_count,
                        keyword_names, std::span<PyObject*>(out.values));
}

// Attaches "while processing '<name>'" to the current Python error's notes.
void add_argument_note(const char* name);

// A Python float is read directly; anything else goes through the
// interpreter's float conversion (int, bool, __float__, __index__).
bool convert_float(PyObject* object, const char* name, double& out);

// A Python str, read as UTF-8; the view lives as long as the object. A str
// with no UTF-8 form (a lone surrogate) is a TypeError.
bool convert_text(PyObject* object, const char* name, std::string_view& out);

// The object if it is an instance of `type`, else null with TypeError
// "'<type>' object cannot be converted to '<class>'".
PyObject* convert_instance(PyObject* object, PyTypeObject* type, const char* class_name, const char* name);

// Converts parameters in signature order, stopping at the first failure.
template <std::size_t N, std::size_t M>
bool convert_floats(const Arguments<N>& arguments, const Parameters<N>& names, std::array<double, M>& out,
                    std::size_t first = 0) {
  for (std::size_t i = 0; i < M; ++i) {
    if (!convert_float(arguments[first + i], names[first + i], out[i])) return false;
  }
  return true;
}

}  // namespace nivaltus::python
