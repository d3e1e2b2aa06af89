#include "python/hugoniot_eos.hpp"

#include <array>
#include <cmath>
#include <new>
#include <string>

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

// Inverse of P(V) = P0 + eta rho0 c0^2 / (1 - s eta)^2. With x = (P - P0) /
// (rho0 c0^2), x (1 - s eta)^2 = eta has the compression-branch root
//   eta = 2x / (sqrt(4 s x + 1) + (2 s x + 1)),
// written without the cancellation of the textbook form.
EosResult<double> volume_at_pressure(const LinearUsUpHugoniot& h, double pressure) {
  if (!is_finite(pressure)) return fail_parameter("pressure", phrase::finite);
  if (pressure < h.p0) return std::unexpected(EosError::outside_invertible_range());
  const double x = (pressure - h.p0) / ((h.rho0 * h.c0) * h.c0);
  const double eta = x == 0.0 ? 0.0 : (x + x) / (std::sqrt((h.s * 4.0) * x + 1.0) + ((h.s + h.s) * x + 1.0));
  const double volume = (1.0 - eta) * h.v0;
  if (!is_positive_finite(volume) || h.s * eta >= 1.0) {
    return std::unexpected(EosError::outside_invertible_range());
  }
  return volume;
}

// Us = up s + c0.
EosResult<double> shock_velocity_at_particle_velocity(const LinearUsUpHugoniot& h, double up) {
  if (auto checked = hugoniot::checked_particle_velocity(up); !checked) return checked;
  return finite_result(up * h.s + h.c0);
}

// ---- Python members ------------------------------------------------------

const LinearUsUpHugoniot& hugoniot_of(PyObject* self) {
  return reinterpret_cast<PyHugoniotEos*>(self)->hugoniot;
}

PyObject* hugoniot_eos_linear_us_up(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    static constexpr Parameters<5> names{"v0", "rho0", "c0", "s", "p0"};
    Arguments<5> bound;
    if (!bind_arguments("linear_us_up", names, args, nargs, kwnames, bound)) return nullptr;
    std::array<double, 5> v{};
    if (!convert_floats(bound, names, v)) return nullptr;
    const EosResult<LinearUsUpHugoniot> hugoniot = LinearUsUpHugoniot::make(v[0], v[1], v[2], v[3], v[4]);
    if (!hugoniot) return raise(to_python_error(hugoniot.error()));
    PyTypeObject* type = hugoniot_eos_type();
    if (type == nullptr) return nullptr;
    PyObject* self = type->tp_alloc(type, 0);
    if (self == nullptr) return nullptr;
    new (&reinterpret_cast<PyHugoniotEos*>(self)->hugoniot) LinearUsUpHugoniot(*hugoniot);
    return self;
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
    const EosResult<double> result = evaluate_model(hugoniot_of(self), quantity, value);
    if (!result) return raise(to_python_error(result.error()));
    return PyFloat_FromDouble(*result);
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
    // Copies for the workers, which run while the lock is released.
    const std::string quantity(quantity_text);
    const LinearUsUpHugoniot hugoniot = hugoniot_of(self);
    return map_array(values, parallel_threshold, [&hugoniot, &quantity](double value) {
      return evaluate_model(hugoniot, quantity, value);
    });
  });
}

PyObject* hugoniot_eos_repr(PyObject* self) {
  return guarded([&] {
    const std::string text = "HugoniotEos(" + hugoniot_of(self).debug_text() + ")";
    return new_str(text);
  });
}

void hugoniot_eos_dealloc(PyObject* self) {
  reinterpret_cast<PyHugoniotEos*>(self)->hugoniot.~LinearUsUpHugoniot();
  Py_TYPE(self)->tp_free(self);
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
    .basic_size = sizeof(PyHugoniotEos),
    .dealloc = hugoniot_eos_dealloc,
    .repr = hugoniot_eos_repr,
    .methods = hugoniot_eos_methods,
    .properties = nullptr,
});

}  // namespace

PyTypeObject* hugoniot_eos_type() { return ready_type(hugoniot_eos_type_object); }

// The text's length picks the candidates, its bytes decide.
EosResult<double> evaluate_model(const LinearUsUpHugoniot& h, std::string_view quantity, double value) {
  switch (quantity.size()) {
    case 6:
      if (quantity == "volume") return volume_at_pressure(h, value);
      break;
    case 7:
      if (quantity == "density") return h.density(value);
      break;
    case 8:
      if (quantity == "pressure") return h.pressure(value);
      break;
    case 14:
      if (quantity == "shock_velocity") return h.shock_velocity(value);
      break;
    case 15:
      if (quantity == "tangent_modulus") return h.tangent_modulus(value);
      break;
    case 17:
      if (quantity == "particle_velocity") return h.particle_velocity(value);
      break;
    case 29:
      if (quantity == "volume_from_particle_velocity") return h.volume_from_particle_velocity(value);
      break;
    case 31:
      if (quantity == "specific_internal_energy_change") return h.specific_internal_energy_change(value);
      if (quantity == "pressure_from_particle_velocity") return h.pressure_from_particle_velocity(value);
      break;
    case 37:
      if (quantity == "shock_velocity_from_particle_velocity")
        return shock_velocity_at_particle_velocity(h, value);
      break;
    default:
      break;
  }
  return fail_state("quantity", "unknown shock Hugoniot quantity");
}

}  // namespace nivaltus::python
