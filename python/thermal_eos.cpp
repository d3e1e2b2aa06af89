#include "python/thermal_eos.hpp"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "core/thermal/thermal_quantity.hpp"
#include "python/arguments.hpp"
#include "python/array_map.hpp"
#include "python/array_view.hpp"
#include "python/exceptions.hpp"
#include "python/panic.hpp"
#include "python/py_ref.hpp"
#include "python/static_type.hpp"
#include "python/thermal_eos_constructors.hpp"

namespace nivaltus::python {
namespace {

// Element counts above which both array methods run on the worker pool.
constexpr std::size_t thermal_parallel_threshold = 2047;

const ThermalModel& model_of(PyObject* self) { return held_value<ThermalModel>(self); }

PyError unavailable_quantity_error(std::string_view quantity) {
  std::string message = "quantity '";
  message += quantity;
  message += "' is unavailable for this thermal model";
  return python_unsupported_error(message);
}

// The Python exception of a failed evaluation of the quantity named `name`.
struct QuantityErrorToPython {
  std::string_view name;
  PyError operator()(const thermal::ThermalQuantityError& error) const {
    if (const auto* eos = std::get_if<EosError>(&error)) return to_python_error(*eos);
    return unavailable_quantity_error(name);
  }
};

// The element of a name no model offers: every element fails alike, so an
// empty array does not.
thermal::ThermalQuantityResult unknown_quantity(double, double) {
  return std::unexpected(thermal::ThermalQuantityError(thermal::QuantityUnavailable{}));
}

// ---- evaluation ----------------------------------------------------------

PyObject* thermal_eos_evaluate_scalar(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                      PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    static constexpr Parameters<3> names{"quantity", "first", "second"};
    Arguments<3> bound;
    if (!bind_arguments("evaluate_scalar", names, args, nargs, kwnames, bound)) return nullptr;
    std::string_view quantity;
    if (!convert_text(bound[0], names[0], quantity)) return nullptr;
    std::array<double, 2> values{};
    if (!convert_floats(bound, names, values, 1)) return nullptr;
    const thermal::ThermalQuantityResult result =
        thermal::thermal_evaluate(model_of(self), quantity, values[0], values[1]);
    if (!result) return raise(QuantityErrorToPython{quantity}(result.error()));
    return PyFloat_FromDouble(*result);
  });
}

PyObject* thermal_eos_evaluate_array(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                     PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    static constexpr Parameters<3> names{"quantity", "first", "second"};
    Arguments<3> bound;
    if (!bind_arguments("evaluate_array", names, args, nargs, kwnames, bound)) return nullptr;
    std::string_view quantity_text;
    if (!convert_text(bound[0], names[0], quantity_text)) return nullptr;
    ArrayView first;
    if (!convert_float64_array(bound[1], names[1], first)) return nullptr;
    ArrayView second;
    if (!convert_float64_array(bound[2], names[2], second)) return nullptr;
    // The name, the model's kind and the quantity are resolved once; each
    // element calls the concrete model's member directly. The workers read
    // their own copy of the model while the lock is released.
    const QuantityErrorToPython to_python{quantity_text};
    const std::optional<thermal::ThermalQuantity> quantity =
        thermal::thermal_quantity_from_name(quantity_text);
    if (!quantity) {
      return map_array_pairs(first, second, thermal_parallel_threshold, unknown_quantity, to_python);
    }
    const ThermalModel model = model_of(self);
    return thermal::with_thermal_quantity(model, *quantity, [&](const auto& element) {
      return map_array_pairs(first, second, thermal_parallel_threshold, element, to_python);
    });
  });
}

PyObject* thermal_eos_volume_with_dac_confinement_scalar(PyObject* self, PyObject* const* args,
                                                         Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    static constexpr Parameters<3> names{"cold_pressure", "temperature", "f_dac"};
    Arguments<3> bound;
    if (!bind_arguments("volume_with_dac_confinement_scalar", names, args, nargs, kwnames, bound))
      return nullptr;
    std::array<double, 3> values{};
    if (!convert_floats(bound, names, values)) return nullptr;
    return float_result(
        thermal::thermal_volume_with_dac_confinement(model_of(self), values[0], values[1], values[2]));
  });
}

PyObject* thermal_eos_volume_with_dac_confinement_array(PyObject* self, PyObject* const* args,
                                                        Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    static constexpr Parameters<3> names{"cold_pressures", "temperatures", "f_dac"};
    Arguments<3> bound;
    if (!bind_arguments("volume_with_dac_confinement_array", names, args, nargs, kwnames, bound))
      return nullptr;
    ArrayView cold_pressures;
    if (!convert_float64_array(bound[0], names[0], cold_pressures)) return nullptr;
    ArrayView temperatures;
    if (!convert_float64_array(bound[1], names[1], temperatures)) return nullptr;
    double f_dac = 0.0;
    if (!convert_float(bound[2], names[2], f_dac)) return nullptr;
    // f_dac is checked per element, so empty arrays never fail on it.
    const ThermalModel model = model_of(self);
    return std::visit(
        [&](const auto& held) {
          return map_array_pairs(
              cold_pressures, temperatures, thermal_parallel_threshold,
              [&held, f_dac](double p, double t) { return held.volume_with_dac_confinement(p, t, f_dac); });
        },
        model.variant());
  });
}

// ---- properties and representation --------------------------------------

PyObject* thermal_eos_model_name(PyObject* self, void*) {
  return guarded([&] {
    const std::string_view name = model_of(self).model_name();
    return new_str(name);
  });
}

PyObject* thermal_eos_repr(PyObject* self) {
  return guarded([&] {
    std::string text = "ThermalEos(model_name='";
    text += model_of(self).model_name();
    text += "')";
    return new_str(text);
  });
}

constexpr int static_flags = METH_STATIC | METH_FASTCALL | METH_KEYWORDS;
constexpr int method_flags = METH_FASTCALL | METH_KEYWORDS;

PyMethodDef thermal_eos_methods[] = {
    {"dewaele_2006", method_pointer(thermal_eos_dewaele_2006), static_flags,
     thermal_eos_dewaele_2006_signature()},
    {"mie_gruneisen_debye", method_pointer(thermal_eos_mie_gruneisen_debye), static_flags,
     thermal_eos_mie_gruneisen_debye_signature()},
    {"mie_gruneisen_einstein", method_pointer(thermal_eos_mie_gruneisen_einstein), static_flags,
     thermal_eos_mie_gruneisen_einstein_signature()},
    {"dorogokupets_oganov_2007", method_pointer(thermal_eos_dorogokupets_oganov_2007), static_flags,
     thermal_eos_dorogokupets_oganov_2007_signature()},
    {"multi_oscillator_gruneisen", method_pointer(thermal_eos_multi_oscillator_gruneisen), static_flags,
     thermal_eos_multi_oscillator_gruneisen_signature()},
    {"sokolova2016", method_pointer(thermal_eos_sokolova2016), static_flags,
     thermal_eos_sokolova2016_signature()},
    {"asymptotic_power_law_mie_gruneisen_debye",
     method_pointer(thermal_eos_asymptotic_power_law_mie_gruneisen_debye), static_flags,
     thermal_eos_asymptotic_power_law_mie_gruneisen_debye_signature()},
    {"linear_thermal_pressure", method_pointer(thermal_eos_linear_thermal_pressure), static_flags,
     thermal_eos_linear_thermal_pressure_signature()},
    {"log_volume_thermal_pressure", method_pointer(thermal_eos_log_volume_thermal_pressure), static_flags,
     thermal_eos_log_volume_thermal_pressure_signature()},
    {"second_order_taylor_thermal_pressure", method_pointer(thermal_eos_second_order_taylor_thermal_pressure),
     static_flags, thermal_eos_second_order_taylor_thermal_pressure_signature()},
    {"debye_quadratic_thermal_pressure", method_pointer(thermal_eos_debye_quadratic_thermal_pressure),
     static_flags, thermal_eos_debye_quadratic_thermal_pressure_signature()},
    {"holland_powell_thermal_pressure", method_pointer(thermal_eos_holland_powell_thermal_pressure),
     static_flags, thermal_eos_holland_powell_thermal_pressure_signature()},
    {"thermal_modified_tait", method_pointer(thermal_eos_thermal_modified_tait), static_flags,
     thermal_eos_thermal_modified_tait_signature()},
    {"thermal_reference_state", method_pointer(thermal_eos_thermal_reference_state), static_flags,
     thermal_eos_thermal_reference_state_signature()},
    {"evaluate_scalar", method_pointer(thermal_eos_evaluate_scalar), method_flags,
     "evaluate_scalar($self, quantity, first, second)\n--\n\n"},
    {"evaluate_array", method_pointer(thermal_eos_evaluate_array), method_flags,
     "evaluate_array($self, quantity, first, second)\n--\n\n"},
    {"volume_with_dac_confinement_scalar", method_pointer(thermal_eos_volume_with_dac_confinement_scalar),
     method_flags, "volume_with_dac_confinement_scalar($self, cold_pressure, temperature, f_dac)\n--\n\n"},
    {"volume_with_dac_confinement_array", method_pointer(thermal_eos_volume_with_dac_confinement_array),
     method_flags, "volume_with_dac_confinement_array($self, cold_pressures, temperatures, f_dac)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef thermal_eos_properties[] = {
    {"model_name", thermal_eos_model_name, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyTypeObject thermal_eos_type_object = static_type({
    .name = "nivaltus._engine.ThermalEos",
    .doc = "Private native representation of a built-in thermal EOS.",
    .basic_size = sizeof(HeldValue<ThermalModel>),
    .dealloc = dealloc_held_value<ThermalModel>,
    .repr = thermal_eos_repr,
    .methods = thermal_eos_methods,
    .properties = thermal_eos_properties,
});

}  // namespace

PyTypeObject* thermal_eos_type() { return ready_type(thermal_eos_type_object); }

PyObject* new_thermal_eos(const ThermalModel& model) {
  return new_held_value(thermal_eos_type(), ThermalModel(model));
}

}  // namespace nivaltus::python
