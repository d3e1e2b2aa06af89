#include "python/thermal_eos_constructors.hpp"

#include <array>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

#include "core/thermal/thermal_model.hpp"
#include "python/arguments.hpp"
#include "python/exceptions.hpp"
#include "python/model_arguments.hpp"
#include "python/panic.hpp"
#include "python/py_ref.hpp"
#include "python/rt_eos.hpp"
#include "python/thermal_eos.hpp"

namespace nivaltus::python {
namespace {

// A built model, or the Python error of the first failed conversion or check.
using Built = std::expected<ThermalModel, PyError>;

template <class Model>
Built built(const EosResult<Model>& model) {
  if (!model) return std::unexpected(to_python_error(model.error()));
  return ThermalModel(*model);
}

std::unexpected<PyError> validation_failed(std::string_view message) {
  return std::unexpected(python_validation_error(message));
}

// The arguments of a constructor: the RtEos object, then the model's
// parameter table with its text choices inserted.
template <class Model, std::size_t T = 0>
struct Signature {
  static constexpr auto table = Model::parameter_table();
  static constexpr std::size_t N = table.size();
  std::array<TextArgument, T> texts{};

  constexpr auto layout() const { return argument_layout<true>(table, texts); }
  using Converted = ConvertedArguments<N, T>;
};

// Shared steps of every constructor: bind, take the RtEos argument (held
// until the body has copied its model), convert the remaining arguments in
// signature order, let the body build the model, then wrap it.
template <class Model, std::size_t T, class Body>
PyObject* construct(const char* function_name, const Signature<Model, T>& signature, PyObject* const* args,
                    Py_ssize_t nargs, PyObject* kwnames, const Body& body) {
  return guarded([&]() -> PyObject* {
    const auto layout = signature.layout();
    std::array<PyObject*, layout.names.size()> bound{};
    if (!bind_arguments_with_defaults(function_name, layout.names, layout.required, args, nargs, kwnames,
                                      bound))
      return nullptr;
    PyObject* rt_eos = convert_instance(bound[0], rt_eos_type(), "RtEos", layout.names[0]);
    if (rt_eos == nullptr) return nullptr;
    const PyRef held = PyRef::borrow(rt_eos);
    typename Signature<Model, T>::Converted converted;
    if (!convert_arguments(signature.table, signature.texts, layout, bound, converted)) return nullptr;
    Built model = body(converted, held_value<RtModel>(held.get()));
    if (!model) return raise(std::move(model.error()));
    return new_thermal_eos(*model);
  });
}

// Models whose constructor takes the reference and the table's values in
// table order.
template <class Model, std::size_t T>
Built build_in_table_order(const ConvertedArguments<Model::parameter_table().size(), T>& arguments,
                           const RtModel& reference) {
  return built(
      std::apply([&reference](auto... v) { return Model::make(reference, v...); }, arguments.values));
}

// ---- Mie-Grueneisen and oscillator models ---------------------------------

constexpr Signature<thermal::Dewaele2006> dewaele_2006_signature;
constexpr Signature<thermal::MieGruneisenDebye, 2> mie_gruneisen_debye_signature{
    {{{"debye_temperature_law", "integrated_gruneisen", 5},
      {"thermal_pressure_reference", "reference_temperature", 5}}}};
constexpr Signature<thermal::MieGruneisenEinstein> mie_gruneisen_einstein_signature;
constexpr Signature<thermal::DorogokupetsOganov2007> dorogokupets_oganov_2007_signature;
constexpr Signature<thermal::MultiOscillatorGruneisen> multi_oscillator_signature;
constexpr Signature<thermal::AsymptoticPowerLawMieGruneisenDebye> asymptotic_power_law_signature;

Built build_mie_gruneisen_debye(const decltype(mie_gruneisen_debye_signature)::Converted& arguments,
                                const RtModel& reference) {
  const auto& v = arguments.values;
  const auto law = thermal::debye_temperature_law_from_name(arguments.texts[0]);
  if (!law)
    return validation_failed("debye_temperature_law must be 'integrated_gruneisen' or 'variable_exponent'");
  const auto pressure_reference = thermal::thermal_pressure_reference_from_name(arguments.texts[1]);
  if (!pressure_reference) {
    return validation_failed(
        "thermal_pressure_reference must be 'reference_temperature', 'reference_isentrope', or "
        "'absolute_zero'");
  }
  return built(thermal::build_mie_gruneisen_debye(reference, v[0], v[1], v[2], v[3], v[4],
                                                  arguments.optional(5), *law, *pressure_reference));
}

Built build_mie_gruneisen_einstein(const decltype(mie_gruneisen_einstein_signature)::Converted& arguments,
                                   const RtModel& reference) {
  const auto& v = arguments.values;
  return built(thermal::build_mie_gruneisen_einstein(reference, v[0], v[1], v[2], v[3], v[4]));
}

// multi_oscillator_gruneisen and sokolova2016: without n, a Holzapfel
// reference supplies its own atom count; any other reference needs n.
Built build_multi_oscillator_gruneisen(const decltype(multi_oscillator_signature)::Converted& arguments,
                                       const RtModel& reference) {
  std::array<double, 19> v = arguments.values;
  if (!arguments.given[18]) {
    const auto* holzapfel = reference.get_if<isothermal::Holzapfel>();
    if (holzapfel == nullptr)
      return validation_failed("n is required for the generic multi-oscillator model");
    v[18] = holzapfel->n;
  }
  return built(thermal::MultiOscillatorGruneisen::from_table_values(reference, v));
}

// ---- thermal-pressure models ----------------------------------------------

constexpr Signature<thermal::LinearThermalPressure> linear_signature;
constexpr Signature<thermal::LogVolumeThermalPressure> log_volume_signature;
constexpr Signature<thermal::SecondOrderTaylorThermalPressure> taylor_signature;
constexpr Signature<thermal::DebyeQuadraticThermalPressure> debye_quadratic_signature;
constexpr Signature<thermal::HollandPowellThermalPressure<RtModel>> holland_powell_signature;
constexpr Signature<thermal::HollandPowellThermalPressure<isothermal::ModifiedTait>>
    thermal_modified_tait_signature;
constexpr Signature<thermal::ThermalReferenceState, 3> reference_state_signature{
    {{{"thermal_expansion_law", "constant", 4},
      {"reference_volume_law", "integrated_expansivity", 4},
      {"bulk_modulus_law", "linear_temperature", 4}}}};

// The reference kind is checked before any parameter: the model is built over
// the ModifiedTait record itself.
Built build_thermal_modified_tait(const decltype(thermal_modified_tait_signature)::Converted& arguments,
                                  const RtModel& reference) {
  const auto* tait = reference.get_if<isothermal::ModifiedTait>();
  if (tait == nullptr) {
    return std::unexpected(nivaltus_python_error(
        "ConfigurationError", "ThermalModifiedTait requires a ModifiedTait EOS", "configuration.invalid"));
  }
  const auto& v = arguments.values;
  return built(
      thermal::HollandPowellThermalPressure<isothermal::ModifiedTait>::make(*tait, v[0], v[1], v[2], v[3]));
}

// Keyword laws in the order bulk modulus, thermal expansion, reference volume;
// then the model's own checks.
Built build_thermal_reference_state(const decltype(reference_state_signature)::Converted& arguments,
                                    const RtModel& reference) {
  const auto& v = arguments.values;  // tr, alpha0, dk_dt, alpha1, beta1, beta2, beta3, kprime_log_coefficient
  const auto& [expansion_name, volume_name, bulk_name] = arguments.texts;

  // The linear law takes no coefficients: each beta must compare equal to
  // zero (-0.0 passes, NaN does not).
  using BulkModulusLaw = thermal::BulkModulusLaw;
  const auto bulk_kind = thermal::bulk_modulus_law_from_name(bulk_name);
  const bool unused_betas = v[4] != 0.0 || v[5] != 0.0 || v[6] != 0.0;
  if (!bulk_kind || (*bulk_kind == BulkModulusLaw::Kind::linear_temperature && unused_betas)) {
    return validation_failed("invalid bulk_modulus_law or unused beta coefficients");
  }
  const BulkModulusLaw bulk_law = *bulk_kind == BulkModulusLaw::Kind::reciprocal_cubic
                                      ? BulkModulusLaw::reciprocal_cubic(v[4], v[5], v[6])
                                      : BulkModulusLaw::linear_temperature();
  const auto expansion_law = thermal::thermal_expansion_law_from_name(expansion_name);
  if (!expansion_law) {
    return validation_failed(
        "thermal_expansion_law must be 'constant', 'linear_temperature', or 'linear_reference_temperature'");
  }
  const auto volume_law = thermal::reference_volume_law_from_name(volume_name);
  if (!volume_law) {
    return validation_failed(
        "reference_volume_law must be 'integrated_expansivity', 'linear_temperature', or 'berman'");
  }

  const EosResult<thermal::ThermalReferenceState> state =
      thermal::ThermalReferenceState::make(reference, v[0], v[1], v[2], v[3], *expansion_law, *volume_law);
  if (!state) return std::unexpected(to_python_error(state.error()));
  return built(thermal::ThermalReferenceState::with_temperature_laws(*state, bulk_law, v[7]));
}

template <class Model, std::size_t T>
std::string signature_text(const char* function_name, const Signature<Model, T>& signature) {
  return text_signature(function_name, signature.table, signature.texts, signature.layout());
}

}  // namespace

// The constructors: Python name, signature, body.
#define NIVALTUS_THERMAL_EOS_CONSTRUCTORS(X)                                                              \
  X(dewaele_2006, dewaele_2006_signature, (build_in_table_order<thermal::Dewaele2006, 0>))                \
  X(mie_gruneisen_debye, mie_gruneisen_debye_signature, build_mie_gruneisen_debye)                        \
  X(mie_gruneisen_einstein, mie_gruneisen_einstein_signature, build_mie_gruneisen_einstein)               \
  X(dorogokupets_oganov_2007, dorogokupets_oganov_2007_signature,                                         \
    (build_in_table_order<thermal::DorogokupetsOganov2007, 0>))                                           \
  X(multi_oscillator_gruneisen, multi_oscillator_signature, build_multi_oscillator_gruneisen)             \
  X(sokolova2016, multi_oscillator_signature, build_multi_oscillator_gruneisen)                           \
  X(asymptotic_power_law_mie_gruneisen_debye, asymptotic_power_law_signature,                             \
    (build_in_table_order<thermal::AsymptoticPowerLawMieGruneisenDebye, 0>))                              \
  X(linear_thermal_pressure, linear_signature, (build_in_table_order<thermal::LinearThermalPressure, 0>)) \
  X(log_volume_thermal_pressure, log_volume_signature,                                                    \
    (build_in_table_order<thermal::LogVolumeThermalPressure, 0>))                                         \
  X(second_order_taylor_thermal_pressure, taylor_signature,                                               \
    (build_in_table_order<thermal::SecondOrderTaylorThermalPressure, 0>))                                 \
  X(debye_quadratic_thermal_pressure, debye_quadratic_signature,                                          \
    (build_in_table_order<thermal::DebyeQuadraticThermalPressure, 0>))                                    \
  X(holland_powell_thermal_pressure, holland_powell_signature,                                            \
    (build_in_table_order<thermal::HollandPowellThermalPressure<RtModel>, 0>))                            \
  X(thermal_modified_tait, thermal_modified_tait_signature, build_thermal_modified_tait)                  \
  X(thermal_reference_state, reference_state_signature, build_thermal_reference_state)

#define NIVALTUS_THERMAL_EOS_CONSTRUCTOR(name, signature, body)                                         \
  PyObject* thermal_eos_##name(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) { \
    return construct("ThermalEos." #name, signature, args, nargs, kwnames, body);                       \
  }                                                                                                     \
  const char* thermal_eos_##name##_signature() {                                                        \
    static const std::string text = signature_text(#name, signature);                                   \
    return text.c_str();                                                                                \
  }

NIVALTUS_THERMAL_EOS_CONSTRUCTORS(NIVALTUS_THERMAL_EOS_CONSTRUCTOR)

#undef NIVALTUS_THERMAL_EOS_CONSTRUCTOR
#undef NIVALTUS_THERMAL_EOS_CONSTRUCTORS

}  // namespace nivaltus::python
