#include "python/rt_eos.hpp"

#include <array>
#include <string>
#include <tuple>
#include <variant>

#include "core/root/solve_volume.hpp"
#include "python/arguments.hpp"
#include "python/array_map.hpp"
#include "python/array_view.hpp"
#include "python/exceptions.hpp"
#include "python/model_arguments.hpp"
#include "python/panic.hpp"
#include "python/py_ref.hpp"
#include "python/static_type.hpp"

namespace nivaltus::python {
namespace {

// Element counts above which the array methods run on the worker pool.
constexpr std::size_t closed_form_parallel_threshold = 65535;
constexpr std::size_t volume_parallel_threshold = 511;

const RtModel& model_of(PyObject* self) { return held_value<RtModel>(self); }

// ---- constructors --------------------------------------------------------

// The record's parameters are the constructor's arguments, all required.
template <class Model>
constexpr auto layout = argument_layout<false>(Model::parameter_table());

// Binds and converts every argument in order, then builds the record through
// its validating constructor; the first failure ends the call.
template <class Model>
PyObject* construct(const char* name, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    constexpr auto table = Model::parameter_table();
    constexpr std::size_t N = table.size();
    Arguments<N> bound;
    if (!bind_arguments(name, layout<Model>.names, args, nargs, kwnames, bound)) return nullptr;
    ConvertedArguments<N, 0> converted;
    if (!convert_arguments(table, std::array<TextArgument, 0>{}, layout<Model>, bound.values, converted))
      return nullptr;
    const EosResult<Model> model = std::apply(&Model::make, converted.values);
    if (!model) return raise(to_python_error(model.error()));
    return new_rt_eos(RtModel(*model));
  });
}

template <class Model>
const char* constructor_signature(std::string_view name) {
  static const std::string text =
      text_signature(name, Model::parameter_table(), std::array<TextArgument, 0>{}, layout<Model>);
  return text.c_str();
}

#define NIVALTUS_RT_EOS_CONSTRUCTOR(python_name, Model)                                                   \
  PyObject* rt_eos_##python_name(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) { \
    return construct<isothermal::Model>(#python_name, args, nargs, kwnames);                              \
  }

NIVALTUS_RT_EOS_CONSTRUCTOR(baonza, Baonza)
NIVALTUS_RT_EOS_CONSTRUCTOR(bm2, BM2)
NIVALTUS_RT_EOS_CONSTRUCTOR(bm3, BM3)
NIVALTUS_RT_EOS_CONSTRUCTOR(bm4, BM4)
NIVALTUS_RT_EOS_CONSTRUCTOR(murnaghan, Murnaghan)
NIVALTUS_RT_EOS_CONSTRUCTOR(morse3, Morse3)
NIVALTUS_RT_EOS_CONSTRUCTOR(modified_tait, ModifiedTait)
NIVALTUS_RT_EOS_CONSTRUCTOR(natural_strain2, NaturalStrain2)
NIVALTUS_RT_EOS_CONSTRUCTOR(natural_strain3, NaturalStrain3)
NIVALTUS_RT_EOS_CONSTRUCTOR(natural_strain4, NaturalStrain4)
NIVALTUS_RT_EOS_CONSTRUCTOR(rydberg_stacey, RydbergStacey)
NIVALTUS_RT_EOS_CONSTRUCTOR(sun_morse3, SunMorse3)
NIVALTUS_RT_EOS_CONSTRUCTOR(sun_morse4, SunMorse4)
NIVALTUS_RT_EOS_CONSTRUCTOR(vinet, Vinet)
NIVALTUS_RT_EOS_CONSTRUCTOR(holzapfel, Holzapfel)

#undef NIVALTUS_RT_EOS_CONSTRUCTOR

// ---- evaluation ----------------------------------------------------------

// A method of one float argument evaluating `operation(model, value)`.
template <class Operation>
PyObject* scalar_method(const char* name, const char* parameter, PyObject* self, PyObject* const* args,
                        Py_ssize_t nargs, PyObject* kwnames, const Operation& operation) {
  return guarded([&]() -> PyObject* {
    const Parameters<1> names{parameter};
    Arguments<1> bound;
    if (!bind_arguments(name, names, args, nargs, kwnames, bound)) return nullptr;
    double value = 0.0;
    if (!convert_float(bound[0], parameter, value)) return nullptr;
    return float_result(operation(model_of(self), value));
  });
}

// A method of one float64 array argument mapping `operation(model, value)`
// over its elements.
template <class Operation>
PyObject* array_method(const char* name, const char* parameter, std::size_t threshold, PyObject* self,
                       PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                       const Operation& operation) {
  return guarded([&]() -> PyObject* {
    const Parameters<1> names{parameter};
    Arguments<1> bound;
    if (!bind_arguments(name, names, args, nargs, kwnames, bound)) return nullptr;
    ArrayView values;
    if (!convert_float64_array(bound[0], parameter, values)) return nullptr;
    // The kind is resolved once, outside the element loop, so each element
    // calls the concrete model's formula directly. The workers read their own
    // copy of the record while the lock is released.
    return std::visit(
        [&](const auto& held) {
          const auto record = held;
          return map_array(values, threshold,
                           [&record, &operation](double value) { return operation(record, value); });
        },
        model_of(self).variant());
  });
}

// Each operation serves RtModel (scalar methods) and the concrete records
// (array methods) alike; the Murnaghan record's bulk modulus is the same
// product as RtModel's, K0 exp(K0' ln(V0/V)).
const auto pressure = [](const auto& model, double volume) { return model.pressure(volume); };
const auto bulk_modulus = [](const auto& model, double volume) { return model.bulk_modulus(volume); };
// The volume at which the model's pressure is p, searched from V0.
const auto volume = [](const auto& model, double p) { return root::solve_volume(model, p); };

PyObject* rt_eos_pressure_scalar(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return scalar_method("pressure_scalar", "volume", self, args, nargs, kwnames, pressure);
}
PyObject* rt_eos_pressure_array(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return array_method("pressure_array", "volumes", closed_form_parallel_threshold, self, args, nargs, kwnames,
                      pressure);
}
PyObject* rt_eos_bulk_modulus_scalar(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                     PyObject* kwnames) {
  return scalar_method("bulk_modulus_scalar", "volume", self, args, nargs, kwnames, bulk_modulus);
}
PyObject* rt_eos_bulk_modulus_array(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                    PyObject* kwnames) {
  return array_method("bulk_modulus_array", "volumes", closed_form_parallel_threshold, self, args, nargs,
                      kwnames, bulk_modulus);
}
PyObject* rt_eos_volume_scalar(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return scalar_method("volume_scalar", "pressure", self, args, nargs, kwnames, volume);
}
PyObject* rt_eos_volume_array(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return array_method("volume_array", "pressures", volume_parallel_threshold, self, args, nargs, kwnames,
                      volume);
}

// Only the Holzapfel kind offers dK/dP here; checked after conversion, before
// any element is evaluated.
const isothermal::Holzapfel* holzapfel_or_raise(PyObject* self) {
  const auto* holzapfel = model_of(self).get_if<isothermal::Holzapfel>();
  if (holzapfel == nullptr) {
    raise(python_unsupported_error("bulk-modulus derivative is only defined for Holzapfel"));
  }
  return holzapfel;
}

PyObject* rt_eos_bulk_modulus_derivative_scalar(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                                PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    static constexpr Parameters<2> names{"volume", "epsilon"};
    Arguments<2> bound;
    if (!bind_arguments("bulk_modulus_derivative_scalar", names, args, nargs, kwnames, bound)) return nullptr;
    std::array<double, 2> values{};
    if (!convert_floats(bound, names, values)) return nullptr;
    const isothermal::Holzapfel* holzapfel = holzapfel_or_raise(self);
    if (holzapfel == nullptr) return nullptr;
    return float_result(holzapfel->bulk_modulus_derivative(values[0], values[1]));
  });
}

PyObject* rt_eos_bulk_modulus_derivative_array(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                               PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    static constexpr Parameters<2> names{"volumes", "epsilon"};
    Arguments<2> bound;
    if (!bind_arguments("bulk_modulus_derivative_array", names, args, nargs, kwnames, bound)) return nullptr;
    ArrayView volumes;
    if (!convert_float64_array(bound[0], names[0], volumes)) return nullptr;
    double epsilon = 0.0;
    if (!convert_float(bound[1], names[1], epsilon)) return nullptr;
    const isothermal::Holzapfel* found = holzapfel_or_raise(self);
    if (found == nullptr) return nullptr;
    const isothermal::Holzapfel holzapfel = *found;
    return map_array(volumes, closed_form_parallel_threshold, [&holzapfel, epsilon](double v) {
      return holzapfel.bulk_modulus_derivative(v, epsilon);
    });
  });
}

// ---- properties and representation --------------------------------------

PyObject* rt_eos_model_name(PyObject* self, void*) {
  return guarded([&] {
    const std::string_view name = model_of(self).model_name();
    return new_str(name);
  });
}

PyObject* rt_eos_reference_volume(PyObject* self, void*) {
  return guarded([&] { return PyFloat_FromDouble(model_of(self).v0()); });
}

PyObject* rt_eos_repr(PyObject* self) {
  return guarded([&] {
    const std::string text = "RtEos(model_name='" + std::string(model_of(self).model_name()) + "')";
    return new_str(text);
  });
}

// ---- holzapfel_derivative_analytical -------------------------------------

PyObject* holzapfel_derivative_analytical(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                          PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    static constexpr Parameters<6> names{"v0", "volume", "bulk_modulus", "k0", "c0", "c2"};
    Arguments<6> bound;
    if (!bind_arguments("holzapfel_derivative_analytical", names, args, nargs, kwnames, bound))
      return nullptr;
    std::array<double, 6> v{};
    if (!convert_floats(bound, names, v)) return nullptr;
    return float_result(
        isothermal::holzapfel_bulk_modulus_derivative_analytical(v[0], v[1], v[2], v[3], v[4], v[5]));
  });
}

constexpr int static_flags = METH_STATIC | METH_FASTCALL | METH_KEYWORDS;
constexpr int method_flags = METH_FASTCALL | METH_KEYWORDS;

PyMethodDef rt_eos_methods[] = {
    {"baonza", method_pointer(rt_eos_baonza), static_flags,
     constructor_signature<isothermal::Baonza>("baonza")},
    {"bm2", method_pointer(rt_eos_bm2), static_flags, constructor_signature<isothermal::BM2>("bm2")},
    {"bm3", method_pointer(rt_eos_bm3), static_flags, constructor_signature<isothermal::BM3>("bm3")},
    {"bm4", method_pointer(rt_eos_bm4), static_flags, constructor_signature<isothermal::BM4>("bm4")},
    {"murnaghan", method_pointer(rt_eos_murnaghan), static_flags,
     constructor_signature<isothermal::Murnaghan>("murnaghan")},
    {"morse3", method_pointer(rt_eos_morse3), static_flags,
     constructor_signature<isothermal::Morse3>("morse3")},
    {"modified_tait", method_pointer(rt_eos_modified_tait), static_flags,
     constructor_signature<isothermal::ModifiedTait>("modified_tait")},
    {"natural_strain2", method_pointer(rt_eos_natural_strain2), static_flags,
     constructor_signature<isothermal::NaturalStrain2>("natural_strain2")},
    {"natural_strain3", method_pointer(rt_eos_natural_strain3), static_flags,
     constructor_signature<isothermal::NaturalStrain3>("natural_strain3")},
    {"natural_strain4", method_pointer(rt_eos_natural_strain4), static_flags,
     constructor_signature<isothermal::NaturalStrain4>("natural_strain4")},
    {"rydberg_stacey", method_pointer(rt_eos_rydberg_stacey), static_flags,
     constructor_signature<isothermal::RydbergStacey>("rydberg_stacey")},
    {"sun_morse3", method_pointer(rt_eos_sun_morse3), static_flags,
     constructor_signature<isothermal::SunMorse3>("sun_morse3")},
    {"sun_morse4", method_pointer(rt_eos_sun_morse4), static_flags,
     constructor_signature<isothermal::SunMorse4>("sun_morse4")},
    {"vinet", method_pointer(rt_eos_vinet), static_flags, constructor_signature<isothermal::Vinet>("vinet")},
    {"holzapfel", method_pointer(rt_eos_holzapfel), static_flags,
     constructor_signature<isothermal::Holzapfel>("holzapfel")},
    {"pressure_scalar", method_pointer(rt_eos_pressure_scalar), method_flags,
     "pressure_scalar($self, volume)\n--\n\n"},
    {"pressure_array", method_pointer(rt_eos_pressure_array), method_flags,
     "pressure_array($self, volumes)\n--\n\n"},
    {"bulk_modulus_scalar", method_pointer(rt_eos_bulk_modulus_scalar), method_flags,
     "bulk_modulus_scalar($self, volume)\n--\n\n"},
    {"bulk_modulus_array", method_pointer(rt_eos_bulk_modulus_array), method_flags,
     "bulk_modulus_array($self, volumes)\n--\n\n"},
    {"bulk_modulus_derivative_scalar", method_pointer(rt_eos_bulk_modulus_derivative_scalar), method_flags,
     "bulk_modulus_derivative_scalar($self, volume, epsilon)\n--\n\n"},
    {"bulk_modulus_derivative_array", method_pointer(rt_eos_bulk_modulus_derivative_array), method_flags,
     "bulk_modulus_derivative_array($self, volumes, epsilon)\n--\n\n"},
    {"volume_scalar", method_pointer(rt_eos_volume_scalar), method_flags,
     "volume_scalar($self, pressure)\n--\n\n"},
    {"volume_array", method_pointer(rt_eos_volume_array), method_flags,
     "volume_array($self, pressures)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef rt_eos_properties[] = {
    {"model_name", rt_eos_model_name, nullptr, nullptr, nullptr},
    {"reference_volume", rt_eos_reference_volume, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyTypeObject rt_eos_type_object = static_type({
    .name = "nivaltus._engine.RtEos",
    .doc = "Private native representation of a built-in isothermal EOS.",
    .basic_size = sizeof(HeldValue<RtModel>),
    .dealloc = dealloc_held_value<RtModel>,
    .repr = rt_eos_repr,
    .methods = rt_eos_methods,
    .properties = rt_eos_properties,
});

}  // namespace

PyTypeObject* rt_eos_type() { return ready_type(rt_eos_type_object); }

PyObject* new_rt_eos(const RtModel& model) { return new_held_value(rt_eos_type(), RtModel(model)); }

PyMethodDef holzapfel_derivative_analytical_definition = {
    "holzapfel_derivative_analytical", method_pointer(holzapfel_derivative_analytical),
    METH_FASTCALL | METH_KEYWORDS,
    "holzapfel_derivative_analytical(v0, volume, bulk_modulus, k0, c0, c2)\n--\n\n"};

}  // namespace nivaltus::python
