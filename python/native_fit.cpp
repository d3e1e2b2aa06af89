#include "python/native_fit.hpp"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/fit/eos/fit_isothermal_eos.hpp"
#include "core/fit/eos/fit_thermal_eos.hpp"
#include "core/rt_model.hpp"
#include "core/thermal/thermal_model.hpp"
#include "python/arguments.hpp"
#include "python/array_view.hpp"
#include "python/fit_arguments.hpp"
#include "python/fit_exceptions.hpp"
#include "python/fit_result_arrays.hpp"
#include "python/gil.hpp"
#include "python/least_squares_result.hpp"
#include "python/panic.hpp"
#include "python/rt_eos.hpp"
#include "python/static_type.hpp"
#include "python/thermal_eos.hpp"

namespace nivaltus::python {
namespace {

using Slice = std::span<const double>;
using OptionalVector = std::optional<std::vector<double>>;

std::optional<Slice> slice_of(const OptionalVector& values) {
  if (!values) return std::nullopt;
  return Slice(*values);
}

// The model parameters' names, starting values and bounds.
struct ParameterArguments {
  std::vector<std::string> names;
  std::vector<double> initial;
  std::vector<double> lower;
  std::vector<double> upper;
};

// Converts every argument in signature order; returns false with the
// conversion error set.
template <std::size_t N>
bool views_in_order(const Arguments<N>& bound, const Parameters<N>& names, std::size_t first,
                    std::size_t count, std::array<ArrayView, N>& views) {
  for (std::size_t i = first; i < first + count; ++i) {
    if (!convert_float64_array(bound[i], names[i], views[i])) return false;
  }
  return true;
}

// The bound argument's copy, or absent for an omitted or None argument. The
// view of a present one was made during conversion.
bool optional_copy(PyObject* object, const ArrayView& view, OptionalVector& out) {
  out.reset();
  if (object == nullptr || object == Py_None) return true;
  std::vector<double> values;
  if (!copy_view(view, values)) return false;
  out = std::move(values);
  return true;
}

// The fit's outcome turned into a LeastSquaresResult: its engine result, the
// predicted pressures and the k×k covariance of the model parameters; the rest
// of the EOS result is dropped.
PyObject* fit_result(fit::FitResult<fit::eos::EosFitResult> fitted, std::size_t k, std::size_t n,
                     std::size_t latent_count) {
  if (!fitted) return raise(to_python_fit_error(fitted.error()));
  std::optional<fit::StructuredLayout> layout;
  if (latent_count > 0) layout = fit::StructuredLayout{k, n, latent_count};
  return new_least_squares_result(LeastSquaresFit{layout, std::move(fitted->solver),
                                                  std::move(fitted->predicted_pressures),
                                                  std::move(fitted->parameter_covariance), k});
}

constexpr Parameters<13> fit_rt_eos_native_names{
    "model",    "parameter_names", "initial",        "lower",        "upper",
    "pressure", "volume",          "pressure_sigma", "volume_sigma", "observation_cholesky",
    "loss",     "f_scale",         "max_nfev"};

PyObject* fit_rt_eos_native(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&] {
    return raising_memory_error([&]() -> PyObject* {
      const auto& names = fit_rt_eos_native_names;
      Arguments<13> bound;
      if (!bind_arguments_with_defaults("fit_rt_eos_native", names, 8, args, nargs, kwnames, bound.values))
        return nullptr;
      PyObject* model = convert_instance(bound[0], rt_eos_type(), "RtEos", names[0]);
      if (model == nullptr) return nullptr;
      ParameterArguments parameters;
      if (!convert_names(bound[1], names[1], parameters.names)) return nullptr;
      std::array<ArrayView, 13> views;
      if (!views_in_order(bound, names, 2, 6, views)) return nullptr;
      for (std::size_t i = 8; i < 10; ++i) {
        if (bound[i] != nullptr && bound[i] != Py_None &&
            !convert_float64_array(bound[i], names[i], views[i]))
          return nullptr;
      }
      SolverArguments solver;
      if (!solver.convert(&bound.values[10], &names[10])) return nullptr;

      const RtModel base = held_value<RtModel>(model);
      std::vector<double> pressure;
      std::vector<double> volume;
      std::vector<double> pressure_sigma;
      OptionalVector volume_sigma;
      OptionalVector cholesky;
      if (!copy_view(views[2], parameters.initial) || !copy_view(views[3], parameters.lower) ||
          !copy_view(views[4], parameters.upper) || !copy_view(views[5], pressure) ||
          !copy_view(views[6], volume) || !copy_view(views[7], pressure_sigma) ||
          !optional_copy(bound[8], views[8], volume_sigma) || !optional_copy(bound[9], views[9], cholesky)) {
        return nullptr;
      }
      const fit::FitResult<fit::SolverOptions> options = solver.options();
      if (!options) return raise(to_python_fit_error(options.error()));

      const auto build = [&base, &parameters](Slice values) {
        return RtModel::with_parameters(base, parameters.names, values);
      };
      const fit::eos::PressureVolumeObservations observations{pressure, volume, pressure_sigma,
                                                              slice_of(volume_sigma), slice_of(cholesky)};
      fit::FitResult<fit::eos::EosFitResult> fitted = [&] {
        GilRelease unlocked;
        return fit::eos::fit_isothermal_eos(observations, parameters.initial, parameters.lower,
                                            parameters.upper, *options, build);
      }();
      return fit_result(std::move(fitted), parameters.initial.size(), pressure.size(), volume_sigma ? 1 : 0);
    });
  });
}

constexpr Parameters<15> fit_thermal_eos_native_names{"model",
                                                      "parameter_names",
                                                      "initial",
                                                      "lower",
                                                      "upper",
                                                      "pressure",
                                                      "volume",
                                                      "temperature",
                                                      "pressure_sigma",
                                                      "volume_sigma",
                                                      "temperature_sigma",
                                                      "observation_cholesky",
                                                      "loss",
                                                      "f_scale",
                                                      "max_nfev"};

PyObject* fit_thermal_eos_native(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&] {
    return raising_memory_error([&]() -> PyObject* {
      const auto& names = fit_thermal_eos_native_names;
      Arguments<15> bound;
      if (!bind_arguments_with_defaults("fit_thermal_eos_native", names, 9, args, nargs, kwnames,
                                        bound.values))
        return nullptr;
      PyObject* model = convert_instance(bound[0], thermal_eos_type(), "ThermalEos", names[0]);
      if (model == nullptr) return nullptr;
      ParameterArguments parameters;
      if (!convert_names(bound[1], names[1], parameters.names)) return nullptr;
      std::array<ArrayView, 15> views;
      if (!views_in_order(bound, names, 2, 7, views)) return nullptr;
      for (std::size_t i = 9; i < 12; ++i) {
        if (bound[i] != nullptr && bound[i] != Py_None &&
            !convert_float64_array(bound[i], names[i], views[i]))
          return nullptr;
      }
      SolverArguments solver;
      if (!solver.convert(&bound.values[12], &names[12])) return nullptr;

      const ThermalModel base = held_value<ThermalModel>(model);
      std::vector<double> pressure;
      std::vector<double> volume;
      std::vector<double> temperature;
      std::vector<double> pressure_sigma;
      OptionalVector volume_sigma;
      OptionalVector temperature_sigma;
      OptionalVector cholesky;
      if (!copy_view(views[2], parameters.initial) || !copy_view(views[3], parameters.lower) ||
          !copy_view(views[4], parameters.upper) || !copy_view(views[5], pressure) ||
          !copy_view(views[6], volume) || !copy_view(views[7], temperature) ||
          !copy_view(views[8], pressure_sigma) || !optional_copy(bound[9], views[9], volume_sigma) ||
          !optional_copy(bound[10], views[10], temperature_sigma) ||
          !optional_copy(bound[11], views[11], cholesky)) {
        return nullptr;
      }
      const fit::FitResult<fit::SolverOptions> options = solver.options();
      if (!options) return raise(to_python_fit_error(options.error()));

      const auto build = [&base, &parameters](Slice values) {
        return ThermalModel::with_parameters(base, parameters.names, values);
      };
      const auto pressure_at = [](const ThermalModel& fitted_model, double v, double t) {
        return fitted_model.pressure(v, t);
      };
      const fit::eos::PressureVolumeTemperatureObservations observations{pressure,
                                                                         volume,
                                                                         temperature,
                                                                         pressure_sigma,
                                                                         slice_of(volume_sigma),
                                                                         slice_of(temperature_sigma),
                                                                         slice_of(cholesky)};
      fit::FitResult<fit::eos::EosFitResult> fitted = [&] {
        GilRelease unlocked;
        return fit::eos::fit_thermal_eos_by(observations, parameters.initial, parameters.lower,
                                            parameters.upper, *options, build, pressure_at);
      }();
      const std::size_t latent_count = (volume_sigma ? 1 : 0) + (temperature_sigma ? 1 : 0);
      return fit_result(std::move(fitted), parameters.initial.size(), pressure.size(), latent_count);
    });
  });
}

}  // namespace

PyMethodDef fit_rt_eos_native_definition = {
    "fit_rt_eos_native", method_pointer(fit_rt_eos_native), METH_FASTCALL | METH_KEYWORDS,
    "fit_rt_eos_native(model, parameter_names, initial, lower, upper, pressure, volume, pressure_sigma, "
    "volume_sigma=None, observation_cholesky=None, loss=\"linear\", f_scale=1.0, max_nfev=None)\n--\n\n"};

PyMethodDef fit_thermal_eos_native_definition = {
    "fit_thermal_eos_native", method_pointer(fit_thermal_eos_native), METH_FASTCALL | METH_KEYWORDS,
    "fit_thermal_eos_native(model, parameter_names, initial, lower, upper, pressure, volume, temperature, "
    "pressure_sigma, volume_sigma=None, temperature_sigma=None, observation_cholesky=None, loss=\"linear\", "
    "f_scale=1.0, max_nfev=None)\n--\n\n"};

}  // namespace nivaltus::python
