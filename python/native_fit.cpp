#include "python/native_fit.hpp"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/fit/eos/fit_isothermal_eos.hpp"
#include "core/fit/eos/fit_thermal_eos.hpp"
#include "core/rt_model.hpp"
#include "core/thermal/thermal_model.hpp"
#include "python/arguments.hpp"
#include "python/array_view.hpp"
#include "python/fit_arguments.hpp"
#include "python/fit_exceptions.hpp"
#include "python/gil.hpp"
#include "python/least_squares_result.hpp"
#include "python/memory_error.hpp"
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

// The arguments of a native fit after the model, in signature order: the
// parameter names, R float64 arrays (initial, lower, upper, then the
// observations), O optional float64 arrays (omitted or None: absent), then
// loss, f_scale and max_nfev. Every argument is converted before any array is
// copied, and the loss is resolved last.
template <std::size_t R, std::size_t O>
struct NativeFitArguments {
  std::vector<std::string> parameter_names;
  std::array<std::vector<double>, R> arrays;
  std::array<OptionalVector, O> optional_arrays;
  fit::SolverOptions options;

  // `bound` and `names` start with the model; false with the error set.
  template <std::size_t N>
  bool convert(const Arguments<N>& bound, const Parameters<N>& names) {
    static_assert(N == 2 + R + O + 3);
    const auto absent = [&](std::size_t i) { return bound[i] == nullptr || bound[i] == Py_None; };
    if (!convert_names(bound[1], names[1], parameter_names)) return false;
    std::array<ArrayView, R + O> views;
    for (std::size_t i = 0; i < R + O; ++i) {
      if (i >= R && absent(2 + i)) continue;
      if (!convert_float64_array(bound[2 + i], names[2 + i], views[i])) return false;
    }
    SolverArguments solver;
    if (!solver.convert(&bound.values[2 + R + O], &names[2 + R + O])) return false;

    for (std::size_t i = 0; i < R; ++i) {
      if (!copy_view(views[i], arrays[i])) return false;
    }
    for (std::size_t i = 0; i < O; ++i) {
      if (!absent(2 + R + i) && !copy_view(views[R + i], optional_arrays[i].emplace())) return false;
    }
    return solver.resolve(options);
  }
};

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
                                                  std::move(fitted->parameter_covariance)});
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
      NativeFitArguments<6, 2> arguments;
      if (!arguments.convert(bound, names)) return nullptr;
      const auto& [initial, lower, upper, pressure, volume, pressure_sigma] = arguments.arrays;
      const auto& [volume_sigma, cholesky] = arguments.optional_arrays;

      const RtModel base = held_value<RtModel>(model);
      const auto build = [&base, &arguments](Slice values) {
        return RtModel::with_parameters(base, arguments.parameter_names, values);
      };
      const fit::eos::PressureVolumeObservations observations{pressure, volume, pressure_sigma,
                                                              slice_of(volume_sigma), slice_of(cholesky)};
      fit::FitResult<fit::eos::EosFitResult> fitted = [&] {
        GilRelease unlocked;
        return fit::eos::fit_isothermal_eos(observations, initial, lower, upper, arguments.options, build);
      }();
      return fit_result(std::move(fitted), initial.size(), pressure.size(), volume_sigma ? 1 : 0);
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
      NativeFitArguments<7, 3> arguments;
      if (!arguments.convert(bound, names)) return nullptr;
      const auto& [initial, lower, upper, pressure, volume, temperature, pressure_sigma] = arguments.arrays;
      const auto& [volume_sigma, temperature_sigma, cholesky] = arguments.optional_arrays;

      const ThermalModel base = held_value<ThermalModel>(model);
      const auto build = [&base, &arguments](Slice values) {
        return ThermalModel::with_parameters(base, arguments.parameter_names, values);
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
        return fit::eos::fit_thermal_eos_by(observations, initial, lower, upper, arguments.options, build,
                                            pressure_at);
      }();
      const std::size_t latent_count = (volume_sigma ? 1 : 0) + (temperature_sigma ? 1 : 0);
      return fit_result(std::move(fitted), initial.size(), pressure.size(), latent_count);
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
