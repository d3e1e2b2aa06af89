#include "python/thermal_eos_constructors.hpp"

#include <array>
#include <expected>
#include <optional>
#include <string_view>

#include "core/thermal/thermal_model.hpp"
#include "python/arguments.hpp"
#include "python/exceptions.hpp"
#include "python/panic.hpp"
#include "python/py_ref.hpp"
#include "python/thermal_eos.hpp"
#include "python/thermal_eos_arguments.hpp"

namespace nivaltus::python {
namespace {

// A built model, or the Python error of the first failed conversion or check.
using Built = std::expected<ThermalModel, PyError>;

std::unexpected<PyError> conversion_failed() { return std::unexpected(PyError::fetch()); }

template <class Model>
Built built(const EosResult<Model>& model) {
  if (!model) return std::unexpected(to_python_error(model.error()));
  return ThermalModel(*model);
}

std::unexpected<PyError> validation_failed(std::string_view message) {
  return std::unexpected(python_validation_error(message));
}

// Shared steps of every constructor: bind, take the RtEos argument (held
// until the body has copied its model), let the body convert the remaining
// arguments in signature order and build the model, then wrap it.
template <std::size_t N, class Body>
PyObject* construct(const char* function_name, const Parameters<N>& names, std::size_t required,
                    PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, const Body& body) {
  return guarded([&]() -> PyObject* {
    std::array<PyObject*, N> bound{};
    if (!bind_arguments_with_defaults(function_name, names, required, args, nargs, kwnames, bound))
      return nullptr;
    const ConstructorArguments arguments(names, bound);
    PyObject* rt_eos = arguments.rt_eos();
    if (rt_eos == nullptr) return nullptr;
    const PyRef held = PyRef::borrow(rt_eos);
    Built model = body(arguments, rt_model_of(held.get()));
    if (!model) return raise(std::move(model.error()));
    return new_thermal_eos(*model);
  });
}

// ---- Mie-Grueneisen and oscillator models ---------------------------------

constexpr Parameters<11> dewaele_2006_parameters{
    "rt_eos",       "tr",           "theta0",       "gamma0",       "gamma_inf", "beta",
    "anharmonic_a", "anharmonic_m", "electronic_e", "electronic_g", "n"};

constexpr Parameters<9> mie_gruneisen_debye_parameters{
    "rt_eos", "tr", "theta0", "gamma0", "q", "n", "debye_temperature_law", "thermal_pressure_reference",
    "cvmax"};

constexpr Parameters<6> mie_gruneisen_einstein_parameters{"rt_eos", "tr", "theta0", "gamma0", "q", "n"};

constexpr Parameters<22> dorogokupets_oganov_2007_parameters{
    "rt_eos", "tr",           "theta_b1",     "d_b1",         "m_b1",         "theta_b2", "d_b2",
    "m_b2",   "theta_e1",     "m_e1",         "theta_e2",     "m_e2",         "gamma0",   "gamma_inf",
    "beta",   "anharmonic_a", "anharmonic_m", "electronic_e", "electronic_g", "defect_h", "defect_s",
    "n"};

constexpr Parameters<20> multi_oscillator_parameters{"rt_eos", "tr",  "qe1o", "me1", "qe2o", "me2",  "delta",
                                                     "t",      "a_0", "m",    "g",   "e_0",  "beta", "qbo",
                                                     "d",      "mb",  "qb1o", "d1",  "mb1",  "n"};

constexpr Parameters<7> asymptotic_power_law_parameters{"rt_eos", "tr", "theta0", "gamma0", "a", "b", "n"};

Built build_dewaele_2006(const ConstructorArguments& arguments, const RtModel& reference) {
  std::array<double, 10> v{};
  if (!arguments.reals(1, v)) return conversion_failed();
  return built(
      thermal::Dewaele2006::make(reference, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9]));
}

Built build_mie_gruneisen_debye(const ConstructorArguments& arguments, const RtModel& reference) {
  std::array<double, 5> v{};
  std::string_view law_name;
  std::string_view reference_name;
  std::optional<double> cvmax;
  if (!arguments.reals(1, v) || !arguments.text(6, law_name, "integrated_gruneisen") ||
      !arguments.text(7, reference_name, "reference_temperature") || !arguments.optional_real(8, cvmax)) {
    return conversion_failed();
  }
  const auto law = thermal::debye_temperature_law_from_name(law_name);
  if (!law)
    return validation_failed("debye_temperature_law must be 'integrated_gruneisen' or 'variable_exponent'");
  const auto pressure_reference = thermal::thermal_pressure_reference_from_name(reference_name);
  if (!pressure_reference) {
    return validation_failed(
        "thermal_pressure_reference must be 'reference_temperature', 'reference_isentrope', or "
        "'absolute_zero'");
  }
  return built(thermal::build_mie_gruneisen_debye(reference, v[0], v[1], v[2], v[3], v[4], cvmax, *law,
                                                  *pressure_reference));
}

Built build_mie_gruneisen_einstein(const ConstructorArguments& arguments, const RtModel& reference) {
  std::array<double, 5> v{};
  if (!arguments.reals(1, v)) return conversion_failed();
  return built(thermal::build_mie_gruneisen_einstein(reference, v[0], v[1], v[2], v[3], v[4]));
}

Built build_dorogokupets_oganov_2007(const ConstructorArguments& arguments, const RtModel& reference) {
  std::array<double, 21> v{};
  if (!arguments.reals(1, v)) return conversion_failed();
  return built(thermal::DorogokupetsOganov2007::make(reference, v[0], v[1], v[2], v[3], v[4], v[5], v[6],
                                                     v[7], v[8], v[9], v[10], v[11], v[12], v[13], v[14],
                                                     v[15], v[16], v[17], v[18], v[19], v[20]));
}

// multi_oscillator_gruneisen and sokolova2016: without n, a Holzapfel
// reference supplies its own atom count; any other reference needs n.
Built build_multi_oscillator_gruneisen(const ConstructorArguments& arguments, const RtModel& reference) {
  std::array<double, 11> required{};
  if (!arguments.reals(1, required)) return conversion_failed();
  std::array<double, 7> optional{};
  constexpr std::array<double, 7> defaults{0.0, 1.0, 1.0, 0.0,
                                           1.0, 1.0, 0.0};  // beta, qbo, d, mb, qb1o, d1, mb1
  for (std::size_t i = 0; i < optional.size(); ++i) {
    if (!arguments.real(12 + i, optional[i], defaults[i])) return conversion_failed();
  }
  std::optional<double> n;
  if (!arguments.optional_real(19, n)) return conversion_failed();
  if (!n) {
    const auto* holzapfel = reference.get_if<isothermal::Holzapfel>();
    if (holzapfel == nullptr)
      return validation_failed("n is required for the generic multi-oscillator model");
    n = holzapfel->n;
  }
  const auto& r = required;
  const auto& o = optional;
  const thermal::MultiOscillatorParameters parameters{r[0], r[1],  r[2], r[3], r[4], r[5], r[6], r[7], r[8],
                                                      r[9], r[10], o[0], o[1], o[2], o[3], o[4], o[5], o[6]};
  return built(thermal::MultiOscillatorGruneisen::new_with_atom_count(reference, parameters, *n));
}

Built build_asymptotic_power_law(const ConstructorArguments& arguments, const RtModel& reference) {
  std::array<double, 6> v{};
  if (!arguments.reals(1, v)) return conversion_failed();
  return built(
      thermal::AsymptoticPowerLawMieGruneisenDebye::make(reference, v[0], v[1], v[2], v[3], v[4], v[5]));
}

// ---- thermal-pressure models ----------------------------------------------

constexpr Parameters<3> linear_parameters{"rt_eos", "tr", "alpha_kt"};
constexpr Parameters<4> log_volume_parameters{"rt_eos", "tr", "alpha_kt_ref", "dk_dt_v"};
constexpr Parameters<9> taylor_parameters{"rt_eos", "tr", "eta0", "c0", "c1", "c2", "c3", "c4", "c5"};
constexpr Parameters<8> debye_quadratic_parameters{"rt_eos", "tr", "theta0", "gamma0", "q", "n", "a", "m"};
constexpr Parameters<5> holland_powell_parameters{"rt_eos", "tr", "theta", "alpha0", "n"};
constexpr Parameters<12> reference_state_parameters{"rt_eos",
                                                    "tr",
                                                    "alpha0",
                                                    "dk_dt",
                                                    "alpha1",
                                                    "thermal_expansion_law",
                                                    "reference_volume_law",
                                                    "bulk_modulus_law",
                                                    "beta1",
                                                    "beta2",
                                                    "beta3",
                                                    "kprime_log_coefficient"};

Built build_linear_thermal_pressure(const ConstructorArguments& arguments, const RtModel& reference) {
  std::array<double, 2> v{};
  if (!arguments.reals(1, v)) return conversion_failed();
  return built(thermal::LinearThermalPressure::make(reference, v[0], v[1]));
}

Built build_log_volume_thermal_pressure(const ConstructorArguments& arguments, const RtModel& reference) {
  std::array<double, 3> v{};
  if (!arguments.reals(1, v)) return conversion_failed();
  return built(thermal::LogVolumeThermalPressure::make(reference, v[0], v[1], v[2]));
}

Built build_second_order_taylor(const ConstructorArguments& arguments, const RtModel& reference) {
  std::array<double, 8> v{};
  if (!arguments.reals(1, v)) return conversion_failed();
  return built(thermal::SecondOrderTaylorThermalPressure::make(reference, v[0], v[1], v[2], v[3], v[4], v[5],
                                                               v[6], v[7]));
}

Built build_debye_quadratic(const ConstructorArguments& arguments, const RtModel& reference) {
  std::array<double, 7> v{};
  if (!arguments.reals(1, v)) return conversion_failed();
  return built(
      thermal::DebyeQuadraticThermalPressure::make(reference, v[0], v[1], v[2], v[3], v[4], v[5], v[6]));
}

Built build_holland_powell(const ConstructorArguments& arguments, const RtModel& reference) {
  std::array<double, 4> v{};
  if (!arguments.reals(1, v)) return conversion_failed();
  return built(thermal::HollandPowellThermalPressure<RtModel>::make(reference, v[0], v[1], v[2], v[3]));
}

// The reference kind is checked before any parameter: the model is built over
// the ModifiedTait record itself.
Built build_thermal_modified_tait(const ConstructorArguments& arguments, const RtModel& reference) {
  std::array<double, 4> v{};
  if (!arguments.reals(1, v)) return conversion_failed();
  const auto* tait = reference.get_if<isothermal::ModifiedTait>();
  if (tait == nullptr) {
    return std::unexpected(nivaltus_python_error(
        "ConfigurationError", "ThermalModifiedTait requires a ModifiedTait EOS", "configuration.invalid"));
  }
  return built(
      thermal::HollandPowellThermalPressure<isothermal::ModifiedTait>::make(*tait, v[0], v[1], v[2], v[3]));
}

// Keyword laws in the order bulk modulus, thermal expansion, reference volume;
// then the model's own checks.
Built build_thermal_reference_state(const ConstructorArguments& arguments, const RtModel& reference) {
  std::array<double, 3> v{};  // tr, alpha0, dk_dt
  double alpha1 = 0.0;
  std::string_view expansion_name;
  std::string_view volume_name;
  std::string_view bulk_name;
  std::array<double, 3> betas{};
  double kprime_log_coefficient = 0.0;
  if (!arguments.reals(1, v) || !arguments.real(4, alpha1, 0.0) ||
      !arguments.text(5, expansion_name, "constant") ||
      !arguments.text(6, volume_name, "integrated_expansivity") ||
      !arguments.text(7, bulk_name, "linear_temperature") || !arguments.real(8, betas[0], 0.0) ||
      !arguments.real(9, betas[1], 0.0) || !arguments.real(10, betas[2], 0.0) ||
      !arguments.real(11, kprime_log_coefficient, 0.0)) {
    return conversion_failed();
  }

  // The linear law takes no coefficients: each beta must compare equal to
  // zero (-0.0 passes, NaN does not).
  using BulkModulusLaw = thermal::BulkModulusLaw;
  const auto bulk_kind = thermal::bulk_modulus_law_from_name(bulk_name);
  const bool unused_betas = betas[0] != 0.0 || betas[1] != 0.0 || betas[2] != 0.0;
  if (!bulk_kind || (*bulk_kind == BulkModulusLaw::Kind::linear_temperature && unused_betas)) {
    return validation_failed("invalid bulk_modulus_law or unused beta coefficients");
  }
  const BulkModulusLaw bulk_law = *bulk_kind == BulkModulusLaw::Kind::reciprocal_cubic
                                      ? BulkModulusLaw::reciprocal_cubic(betas[0], betas[1], betas[2])
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
      thermal::ThermalReferenceState::make(reference, v[0], v[1], v[2], alpha1, *expansion_law, *volume_law);
  if (!state) return std::unexpected(to_python_error(state.error()));
  return built(
      thermal::ThermalReferenceState::with_temperature_laws(*state, bulk_law, kprime_log_coefficient));
}

}  // namespace

#define NIVALTUS_THERMAL_EOS_CONSTRUCTOR(name, parameters, required, builder)                           \
  PyObject* thermal_eos_##name(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) { \
    return construct("ThermalEos." #name, parameters, required, args, nargs, kwnames, builder);         \
  }

NIVALTUS_THERMAL_EOS_CONSTRUCTOR(dewaele_2006, dewaele_2006_parameters, 11, build_dewaele_2006)
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(mie_gruneisen_debye, mie_gruneisen_debye_parameters, 6,
                                 build_mie_gruneisen_debye)
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(mie_gruneisen_einstein, mie_gruneisen_einstein_parameters, 6,
                                 build_mie_gruneisen_einstein)
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(dorogokupets_oganov_2007, dorogokupets_oganov_2007_parameters, 22,
                                 build_dorogokupets_oganov_2007)
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(multi_oscillator_gruneisen, multi_oscillator_parameters, 12,
                                 build_multi_oscillator_gruneisen)
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(sokolova2016, multi_oscillator_parameters, 12,
                                 build_multi_oscillator_gruneisen)
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(asymptotic_power_law_mie_gruneisen_debye, asymptotic_power_law_parameters, 7,
                                 build_asymptotic_power_law)
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(linear_thermal_pressure, linear_parameters, 3, build_linear_thermal_pressure)
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(log_volume_thermal_pressure, log_volume_parameters, 4,
                                 build_log_volume_thermal_pressure)
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(second_order_taylor_thermal_pressure, taylor_parameters, 9,
                                 build_second_order_taylor)
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(debye_quadratic_thermal_pressure, debye_quadratic_parameters, 8,
                                 build_debye_quadratic)
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(holland_powell_thermal_pressure, holland_powell_parameters, 5,
                                 build_holland_powell)
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(thermal_modified_tait, holland_powell_parameters, 5,
                                 build_thermal_modified_tait)
NIVALTUS_THERMAL_EOS_CONSTRUCTOR(thermal_reference_state, reference_state_parameters, 4,
                                 build_thermal_reference_state)

#undef NIVALTUS_THERMAL_EOS_CONSTRUCTOR

}  // namespace nivaltus::python
