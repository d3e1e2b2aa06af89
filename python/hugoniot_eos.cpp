#include "python/hugoniot_eos.hpp"

#include <array>
#include <optional>
#include <string>

#include "core/hugoniot/hugoniot_quantity.hpp"
#include "python/arguments.hpp"
#include "python/array_map.hpp"
#include "python/array_view.hpp"
#include "python/exceptions.hpp"
#include "python/panic.hpp"
#include "python/py_ref.hpp"
#include "python/static_type.hpp"

namespace nivaltus::python {
namespace {

constexpr std::size_t parallel_threshold = 65535;

using hugoniot::LinearUsUpHugoniot;

// ---- Python members ------------------------------------------------------

const LinearUsUpHugoniot& hugoniot_of(PyObject* self) { return held_value<LinearUsUpHugoniot>(self); }

PyObject* hugoniot_eos_linear_us_up(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    static constexpr Parameters<5> names{"v0", "rho0", "c0", "s", "p0"};
    Arguments<5> bound;
    if (!bind_arguments("linear_us_up", names, args, nargs, kwnames, bound)) return nullptr;
    std::array<double, 5> v{};
    if (!convert_floats(bound, names, v)) return nullptr;
    const EosResult<LinearUsUpHugoniot> hugoniot = LinearUsUpHugoniot::make(v[0], v[1], v[2], v[3], v[4]);
    if (!hugoniot) return raise(to_python_error(hugoniot.error()));
    return new_held_value(hugoniot_eos_type(), LinearUsUpHugoniot(*hugoniot));
  });
}

PyObject* hugoniot_eos_evaluate_scalar(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                       PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    static constexpr Parameters<2> names{"quantity", "value"};
    Arguments<2> bound;
    if (!bind_arguments("evaluate_scalar", names, args, nargs, kwnames, bound)) return nullptr;
    std::string_view quantity;
    if (!convert_text(bound[0], names[0], quantity)) return nullptr;
    double value = 0.0;
    if (!convert_float(bound[1], names[1], value)) return nullptr;
    return float_result(hugoniot::evaluate_hugoniot(hugoniot_of(self), quantity, value));
  });
}

PyObject* hugoniot_eos_evaluate_array(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                      PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    static constexpr Parameters<2> names{"quantity", "values"};
    Arguments<2> bound;
    if (!bind_arguments("evaluate_array", names, args, nargs, kwnames, bound)) return nullptr;
    std::string_view quantity_text;
    if (!convert_text(bound[0], names[0], quantity_text)) return nullptr;
    ArrayView values;
    if (!convert_float64_array(bound[1], names[1], values)) return nullptr;
    // The name is resolved once; an unknown one fails at the first element,
    // so an empty array does not fail. The workers read their own copy of
    // the Hugoniot while the lock is released.
    const std::optional<hugoniot::HugoniotQuantity> quantity =
        hugoniot::hugoniot_quantity_from_name(quantity_text);
    if (!quantity) {
      return map_array(values, parallel_threshold,
                       [](double) { return hugoniot::unknown_hugoniot_quantity(); });
    }
    const LinearUsUpHugoniot hugoniot = hugoniot_of(self);
    return map_array(values, parallel_threshold, [&hugoniot, q = *quantity](double value) {
      return hugoniot::evaluate_hugoniot_quantity(hugoniot, q, value);
    });
  });
}

PyObject* hugoniot_eos_repr(PyObject* self) {
  return guarded([&] {
    const std::string text = "HugoniotEos(" + hugoniot_of(self).debug_text() + ")";
    return new_str(text);
  });
}

PyMethodDef hugoniot_eos_methods[] = {
    {"linear_us_up", method_pointer(hugoniot_eos_linear_us_up), METH_STATIC | METH_FASTCALL | METH_KEYWORDS,
     "linear_us_up(v0, rho0, c0, s, p0)\n--\n\n"},
    {"evaluate_scalar", method_pointer(hugoniot_eos_evaluate_scalar), METH_FASTCALL | METH_KEYWORDS,
     "evaluate_scalar($self, quantity, value)\n--\n\n"},
    {"evaluate_array", method_pointer(hugoniot_eos_evaluate_array), METH_FASTCALL | METH_KEYWORDS,
     "evaluate_array($self, quantity, values)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyTypeObject hugoniot_eos_type_object = static_type({
    .name = "nivaltus._engine.HugoniotEos",
    .doc = "Private native representation of a built-in shock Hugoniot.",
    .basic_size = sizeof(HeldValue<LinearUsUpHugoniot>),
    .dealloc = dealloc_held_value<LinearUsUpHugoniot>,
    .repr = hugoniot_eos_repr,
    .methods = hugoniot_eos_methods,
    .properties = nullptr,
});

}  // namespace

PyTypeObject* hugoniot_eos_type() { return ready_type(hugoniot_eos_type_object); }

}  // namespace nivaltus::python
