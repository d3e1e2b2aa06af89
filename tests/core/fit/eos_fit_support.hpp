#pragma once
// Shared pieces of the EOS fit tests: model builders over the validating
// constructors, closed-form pressures written independently of the models,
// and owned observation sets.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "core/fit/eos/fit_isothermal_eos.hpp"
#include "core/fit/eos/fit_thermal_eos.hpp"
#include "core/rt_model.hpp"
#include "core/thermal/mie_gruneisen.hpp"
#include "core/thermal/thermal_model.hpp"

namespace nivaltus::test {

using fit::FitResult;
using fit::eos::EosFitResult;
using fit::eos::Slice;

template <class Model>
FitResult<Model> or_fit_error(const EosResult<Model>& model) {
  if (!model) return fit::fail_eos(model.error());
  return *model;
}

// (V0, K0, K0') → BM3 or Vinet.
inline FitResult<RtModel> build_bm3(Slice p) {
  return or_fit_error<RtModel>(isothermal::BM3::make(p[0], p[1], p[2]));
}
inline FitResult<RtModel> build_vinet(Slice p) {
  return or_fit_error<RtModel>(isothermal::Vinet::make(p[0], p[1], p[2]));
}

// P = a + b V: linear in its parameters, so that fits have closed forms.
struct Line {
  double a;
  double b;
  EosResult<double> pressure(double volume) const { return a + b * volume; }
};
inline FitResult<Line> build_line(Slice p) { return Line{p[0], p[1]}; }

// BM3 in x = V/V0: P = 1.5 K0 (x^(-7/3) - x^(-5/3)) (1 + 0.75 (K0' - 4)(x^(-2/3) - 1)).
inline double bm3_pressure(double v0, double k0, double k0p, double v) {
  const double x = v / v0;
  return 1.5 * k0 * (std::pow(x, -7.0 / 3.0) - std::pow(x, -5.0 / 3.0)) *
         (1.0 + 0.75 * (k0p - 4.0) * (std::pow(x, -2.0 / 3.0) - 1.0));
}

// Vinet with η = x^(1/3): P = 3 K0 (1 - η)/η² exp(1.5 (K0' - 1)(1 - η)).
inline double vinet_pressure(double v0, double k0, double k0p, double v) {
  const double eta = std::cbrt(v / v0);
  return 3.0 * k0 * (1.0 - eta) / (eta * eta) * std::exp(1.5 * (k0p - 1.0) * (1.0 - eta));
}

// Mie-Grueneisen-Debye over BM3 with Tr = 300, θ0 = 773, q = 1.5, two atoms;
// fitted parameters (V0, K0, K0', γ0).
inline FitResult<ThermalModel> build_mgd(Slice p) {
  const auto reference = isothermal::BM3::make(p[0], p[1], p[2]);
  if (!reference) return fit::fail_eos(reference.error());
  return or_fit_error<ThermalModel>(
      thermal::build_mie_gruneisen_debye(RtModel(*reference), 300.0, 773.0, p[3], 1.5, 2.0));
}

// D3(u) = 3/u³ ∫0^u t³/(e^t - 1) dt by composite Simpson over 2000 panels.
inline double debye_3(double u) {
  const int panels = 2000;
  const double h = u / panels;
  const auto f = [](double t) { return t == 0.0 ? 0.0 : t * t * t / std::expm1(t); };
  double sum = f(0.0) + f(u);
  for (int i = 1; i < panels; ++i) sum += (i % 2 ? 4.0 : 2.0) * f(i * h);
  return 3.0 / (u * u * u) * sum * h / 3.0;
}

// P = P_BM3(V) + γ/V (E(T) - E(300)) / 10⁴ with γ = γ0 x^1.5,
// θ = 773 exp(-γ0 (x^1.5 - 1)/1.5), E(T) = 3 n R T D3(θ/T), n = 2.
inline double mgd_pressure(double v0, double k0, double k0p, double gamma0, double v, double t) {
  const double xq = std::pow(v / v0, 1.5);
  const double theta = 773.0 * std::exp(-gamma0 * (xq - 1.0) / 1.5);
  const auto energy = [&](double temperature) {
    return 6.0 * 8.31446261815324 * temperature * debye_3(theta / temperature);
  };
  return bm3_pressure(v0, k0, k0p, v) + gamma0 * xq / v * (energy(t) - energy(300.0)) / 1e4;
}

// Owned pressure-volume(-temperature) observations and their views.
struct OwnedObservations {
  std::vector<double> pressure{}, volume{}, temperature{}, pressure_sigma{};
  std::optional<std::vector<double>> volume_sigma{}, temperature_sigma{}, factors{};

  static fit::eos::OptionalSlice view(const std::optional<std::vector<double>>& values) {
    if (!values) return std::nullopt;
    return Slice(*values);
  }
  fit::eos::PressureVolumeObservations pv() const {
    return {pressure, volume, pressure_sigma, view(volume_sigma), view(factors)};
  }
  fit::eos::PressureVolumeTemperatureObservations pvt() const {
    return {pressure,     volume, temperature, pressure_sigma, view(volume_sigma), view(temperature_sigma),
            view(factors)};
  }
};

inline fit::SolverOptions tight_options() {
  fit::SolverOptions options;
  options.ftol = options.gtol = options.xtol = 1e-12;
  options.max_nfev = 2000;
  return options;
}

}  // namespace nivaltus::test
