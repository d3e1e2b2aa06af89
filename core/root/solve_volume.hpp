#pragma once
// Volume at a given pressure: outward geometric search from a reference
// volume until the residual f(V) - P changes sign, bisection of that bracket,
// and a final residual test.

#include <algorithm>
#include <cmath>

#include "core/error.hpp"
#include "core/isothermal/reference_parameters.hpp"
#include "core/root/bisect_bracket.hpp"

namespace nivaltus::root {

inline constexpr double volume_downward_factor = 0.8;
inline constexpr double volume_downward_limit = 1e-14;  // times V_ref, exclusive
inline constexpr double volume_upward_factor = 1.05;
inline constexpr double volume_upward_limit = 10000.0;  // times V_ref, exclusive
inline constexpr int volume_search_candidates = 160;    // per direction

// The V at which f(V) equals pressure, searched from reference_volume. f maps
// a volume to EosResult<double>; its errors are returned unchanged, at once.
//   f(V_ref) > P: search upward (V_ref * 1.05^k, k <= 160, below 1e4 V_ref);
//     none with f <= P gives OutsideInvertibleRange.
//   f(V_ref) < P: search downward (V_ref * 0.8^k, k <= 160, above 1e-14 V_ref);
//     none with f >= P gives BracketingFailed.
// The 160-candidate bound also ends the downward search for a subnormal V_ref,
// where V * 0.8 can round back to V and the limit underflows to zero.
template <class F>
EosResult<double> solve_volume_function(F&& f, double pressure, double reference_volume) {
  if (!is_finite(pressure)) return fail_state("pressure", phrase::finite);
  if (!is_positive_finite(reference_volume)) return fail_state("reference volume", phrase::positive_finite);

  const EosResult<double> f_ref = f(reference_volume);
  if (!f_ref) return std::unexpected(f_ref.error());
  const double r0 = *f_ref - pressure;
  if (std::abs(r0) <= 1e-10 * std::max({std::abs(pressure), std::abs(*f_ref), 1.0})) return reference_volume;

  // Bracket with the residual at the smaller volume, f_lo, never negative.
  double lo = 0.0, f_lo = 0.0, hi = 0.0, f_hi = 0.0;
  bool bracketed = false;
  if (r0 < 0.0) {
    const double limit = volume_downward_limit * reference_volume;
    double v = volume_downward_factor * reference_volume;
    for (int k = 0; k < volume_search_candidates && v > limit; ++k, v *= volume_downward_factor) {
      const EosResult<double> value = f(v);
      if (!value) return std::unexpected(value.error());
      const double r = *value - pressure;
      if (r >= 0.0) {
        lo = v, f_lo = r, hi = reference_volume, f_hi = r0;
        bracketed = true;
        break;
      }
    }
    if (!bracketed) return std::unexpected(EosError::bracketing_failed());
  } else {
    const double limit = volume_upward_limit * reference_volume;
    double v = volume_upward_factor * reference_volume;
    for (int k = 0; k < volume_search_candidates && v < limit; ++k, v *= volume_upward_factor) {
      const EosResult<double> value = f(v);
      if (!value) return std::unexpected(value.error());
      const double r = *value - pressure;
      if (r <= 0.0) {
        lo = reference_volume, f_lo = r0, hi = v, f_hi = r;
        bracketed = true;
        break;
      }
    }
    if (!bracketed) return std::unexpected(EosError::outside_invertible_range());
  }

  const double x_tol = std::max(machine_epsilon * reference_volume, 1e-14);
  const double f_tol = std::max(std::abs(pressure), 1.0) * 1.7763568394002505e-15;  // 8 eps
  const EosResult<double> x = bisect_bracket(f, pressure, lo, f_lo, hi, f_hi, x_tol, f_tol);
  if (!x) return x;
  return check_residual(f, pressure, *x);
}

// Volume of an isothermal model at a pressure, searched from its reference
// volume V0. Works with RtModel (V0 through v0()) and with the isothermal
// model records (V0 as the field v0).
template <class Model>
EosResult<double> solve_volume(const Model& model, double pressure) {
  return solve_volume_function([&model](double volume) { return model.pressure(volume); }, pressure,
                               isothermal::reference_volume(model));
}

}  // namespace nivaltus::root
