#pragma once
// Temperature at which f(T) reaches a target: a two-sided geometric scan from
// a reference temperature, bisection of every bracket found in the first scan
// step that finds one, and the root nearest to T_ref on a logarithmic scale.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

#include "core/error.hpp"
#include "core/root/bisect_bracket.hpp"

namespace nivaltus::root {

inline constexpr double temperature_downward_factor = 0.8;
inline constexpr double temperature_upward_factor = 1.25;
inline constexpr double temperature_floor = 1e-14;  // times T_ref, inclusive
inline constexpr double temperature_ceiling = 1e8;  // times T_ref, inclusive
inline constexpr int temperature_scan_steps = 160;

// The T at which f(T) equals target, searched from reference_temperature. f
// maps a temperature to EosResult<double>; its errors are returned unchanged.
// Each scan step moves the downward side (T * 0.8, not below the floor) and
// then the upward side (T * 1.25, not above the ceiling); a residual product
// <= 0 records a bracket. OutsideInvertibleRange when both sides reach their
// limits, or 160 steps pass, without a bracket.
template <class F>
EosResult<double> solve_temperature_function(F&& f, double target, double reference_temperature) {
  struct Bracket {
    double lo, f_lo, hi, f_hi;
  };

  if (!is_finite(target)) return fail_state("pressure", phrase::finite);
  if (!is_positive_finite(reference_temperature)) return fail_state("temperature", phrase::positive_finite);

  const double t_ref = reference_temperature;
  const EosResult<double> f_ref = f(t_ref);
  if (!f_ref) return std::unexpected(f_ref.error());
  const double r0 = *f_ref - target;
  if (std::abs(r0) <= 1e-10 * std::max({std::abs(target), std::abs(*f_ref), 1.0})) return t_ref;

  const double t_floor = temperature_floor * t_ref;
  const double t_ceiling = temperature_ceiling * t_ref;
  double t_down = t_ref, r_down = r0, t_up = t_ref, r_up = r0;
  bool down_active = true, up_active = true;
  // At most one bracket per side per step, the downward one first.
  std::array<Bracket, 2> brackets{};
  std::size_t bracket_count = 0;

  for (int step = 1;; ++step) {
    if (down_active) {
      const double t = std::max(temperature_downward_factor * t_down, t_floor);
      const EosResult<double> value = f(t);
      if (!value) return std::unexpected(value.error());
      const double r = *value - target;
      if (r_down * r <= 0.0) brackets[bracket_count++] = {t, r, t_down, r_down};
      down_active = t > t_floor;
      t_down = t, r_down = r;
    }
    if (up_active) {
      const double t = std::min(temperature_upward_factor * t_up, t_ceiling);
      const EosResult<double> value = f(t);
      if (!value) return std::unexpected(value.error());
      const double r = *value - target;
      if (r_up * r <= 0.0) brackets[bracket_count++] = {t_up, r_up, t, r};
      up_active = t < t_ceiling;
      t_up = t, r_up = r;
    }
    if (bracket_count > 0) break;
    if (!down_active && !up_active) return std::unexpected(EosError::outside_invertible_range());
    if (step == temperature_scan_steps) return std::unexpected(EosError::outside_invertible_range());
  }

  const double x_tol = std::max(t_ref, 1.0) * machine_epsilon;
  const double f_tol = std::max(std::abs(target), 1.0) * 1.7763568394002505e-15;  // 8 eps
  std::array<double, 2> roots{};
  for (std::size_t i = 0; i < bracket_count; ++i) {
    const Bracket& b = brackets[i];
    const EosResult<double> root = bisect_bracket(f, target, b.lo, b.f_lo, b.hi, b.f_hi, x_tol, f_tol);
    if (!root) return root;
    roots[i] = *root;
  }

  // Nearest to T_ref in |ln(T / T_ref)|; on a tie the earlier (downward) root.
  double chosen = roots[0];
  double chosen_distance = std::abs(std::log(chosen / t_ref));
  for (std::size_t i = 1; i < bracket_count; ++i) {
    const double distance = std::abs(std::log(roots[i] / t_ref));
    if (distance < chosen_distance) {
      chosen = roots[i];
      chosen_distance = distance;
    }
  }
  return check_residual(f, target, chosen);
}

}  // namespace nivaltus::root
