#pragma once
// Finite-difference Jacobians of a residual function object. Parameter j at
// x gets the base step h = 2^-26·max(|x_j|, 1), the forward room
// h⁺ = min(upper_j − x_j, h) and the backward room h⁻ = min(x_j − lower_j, h)
// (a NaN minimum replaced by h): a central difference over h⁺ + h⁻ where both
// sides leave room, a one-sided difference against the base residuals at a
// bound.
//
// A structured problem (layout g, P, L) differentiates its g global columns
// one by one and then each latent coordinate l of every point at once with
// one ± pair of evaluations: the residuals of point p depend only on the
// globals and on p's own latent coordinates, so the pair gives every point's
// column. The result keeps only the entries that can be non-zero (block form
// of Jacobian), m·g + P·(L + 1)·L values.

#include <algorithm>
#include <cmath>
#include <concepts>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/fit/fit_error.hpp"
#include "core/fit/solver_types.hpp"
#include "core/fit/validation.hpp"

namespace nivaltus::fit {

// A residual function object: called with the n parameters, returns the
// residual vector or a FitError (an EosError of a model travels inside
// FitError::Eos). It may keep state between calls; the engine calls it from
// one thread, one call at a time.
template <class F>
concept ResidualFunction = requires(F& residual, std::span<const double> x) {
  { residual(x) } -> std::convertible_to<FitResult<std::vector<double>>>;
};

// 2^-26
inline constexpr double difference_step_factor = 1.4901161193847656e-08;

// The difference of one column, not yet divided by its step.
struct ColumnDifference {
  std::vector<double> difference;
  double step = 0.0;
};

namespace detail {

struct StepRoom {
  double forward;
  double backward;
};

inline StepRoom step_room(double x, double lower, double upper) {
  const double h = difference_step_factor * std::max(std::fabs(x), 1.0);
  double forward = std::min(upper - x, h);
  double backward = std::min(x - lower, h);
  if (std::isnan(forward)) forward = h;
  if (std::isnan(backward)) backward = h;
  return {forward, backward};
}

inline std::unexpected<FitError> fixed_parameter(std::size_t index) {
  return fail_input("parameter " + std::to_string(index) + " is fixed by equal bounds");
}

}  // namespace detail

// Column j: central difference r(x + h⁺e_j) − r(x − h⁻e_j) over h⁺ + h⁻, or
// a one-sided one against base at a bound; InvalidInput "parameter {} is
// fixed by equal bounds" when neither side has room.
template <ResidualFunction Residual>
FitResult<ColumnDifference> finite_difference_column(std::span<const double> x, std::span<const double> lower,
                                                     std::span<const double> upper,
                                                     std::span<const double> base, std::size_t m,
                                                     std::size_t j, Residual& residual) {
  const auto [forward, backward] = detail::step_room(x[j], lower[j], upper[j]);
  if (!(forward > 0.0) && !(backward > 0.0)) return detail::fixed_parameter(j);
  std::vector<double> shifted(x.begin(), x.end());
  const auto evaluate_at = [&](double value) -> FitResult<std::vector<double>> {
    shifted[j] = value;
    FitResult<std::vector<double>> r = residual(std::span<const double>(shifted));
    if (!r) return r;
    if (auto checked = validate_residuals(*r, m); !checked)
      return std::unexpected(std::move(checked).error());
    return r;
  };
  ColumnDifference column;
  column.difference.resize(m);
  if (forward > 0.0 && backward > 0.0) {
    auto plus = evaluate_at(x[j] + forward);
    if (!plus) return std::unexpected(std::move(plus).error());
    auto minus = evaluate_at(x[j] - backward);
    if (!minus) return std::unexpected(std::move(minus).error());
    for (std::size_t i = 0; i < m; ++i) column.difference[i] = (*plus)[i] - (*minus)[i];
    column.step = forward + backward;
  } else if (forward > 0.0) {
    auto plus = evaluate_at(x[j] + forward);
    if (!plus) return std::unexpected(std::move(plus).error());
    for (std::size_t i = 0; i < m; ++i) column.difference[i] = (*plus)[i] - base[i];
    column.step = forward;
  } else {
    auto minus = evaluate_at(x[j] - backward);
    if (!minus) return std::unexpected(std::move(minus).error());
    for (std::size_t i = 0; i < m; ++i) column.difference[i] = base[i] - (*minus)[i];
    column.step = backward;
  }
  return column;
}

// The Jacobian at x: dense m×n without a layout, block form with one. The
// caller guarantees n = g + L·P and m = (L + 1)·P for a layout, and that
// base holds the m residuals at x.
template <ResidualFunction Residual>
FitResult<Jacobian> finite_difference_jacobian(std::span<const double> x, std::span<const double> lower,
                                               std::span<const double> upper, std::span<const double> base,
                                               std::size_t m, const std::optional<StructuredLayout>& layout,
                                               Residual& residual) {
  const std::size_t n = x.size();
  if (!layout) {
    std::vector<double> values(m * n, 0.0);
    for (std::size_t j = 0; j < n; ++j) {
      auto column = finite_difference_column(x, lower, upper, base, m, j, residual);
      if (!column) return std::unexpected(std::move(column).error());
      for (std::size_t i = 0; i < m; ++i) values[i * n + j] = column->difference[i] / column->step;
    }
    return Jacobian::dense(std::move(values), m, n);
  }

  const std::size_t g = layout->global_parameter_count;
  const std::size_t points = layout->point_count;
  const std::size_t latent_count = layout->latent_coordinate_count;
  std::vector<double> global(m * g, 0.0);
  for (std::size_t a = 0; a < g; ++a) {
    auto column = finite_difference_column(x, lower, upper, base, m, a, residual);
    if (!column) return std::unexpected(std::move(column).error());
    for (std::size_t i = 0; i < m; ++i) global[i * g + a] = column->difference[i] / column->step;
  }
  std::vector<double> latent(points * (latent_count + 1) * latent_count, 0.0);
  if (latent_count == 0) return Jacobian::structured(*layout, std::move(global), std::move(latent));

  std::vector<double> plus_point(x.begin(), x.end());
  std::vector<double> minus_point(x.begin(), x.end());
  std::vector<double> steps(points);
  for (std::size_t l = 0; l < latent_count; ++l) {
    // Each pair moves only block l; the previous block is put back first.
    if (l > 0) {
      const std::size_t previous = g + (l - 1) * points;
      std::copy_n(x.begin() + previous, points, plus_point.begin() + previous);
      std::copy_n(x.begin() + previous, points, minus_point.begin() + previous);
    }
    for (std::size_t p = 0; p < points; ++p) {
      const std::size_t k = g + l * points + p;
      const auto [forward, backward] = detail::step_room(x[k], lower[k], upper[k]);
      steps[p] = forward + backward;
      if (!(steps[p] > 0.0)) return detail::fixed_parameter(k);
      plus_point[k] = x[k] + forward;
      minus_point[k] = x[k] - backward;
    }
    auto plus = residual(std::span<const double>(plus_point));
    if (!plus) return std::unexpected(std::move(plus).error());
    auto minus = residual(std::span<const double>(minus_point));
    if (!minus) return std::unexpected(std::move(minus).error());
    if (auto checked = validate_residuals(*plus, m); !checked)
      return std::unexpected(std::move(checked).error());
    if (auto checked = validate_residuals(*minus, m); !checked)
      return std::unexpected(std::move(checked).error());
    for (std::size_t p = 0; p < points; ++p) {
      for (std::size_t b = 0; b <= latent_count; ++b) {
        const std::size_t i = b * points + p;
        latent[(p * (latent_count + 1) + b) * latent_count + l] = ((*plus)[i] - (*minus)[i]) / steps[p];
      }
    }
  }
  return Jacobian::structured(*layout, std::move(global), std::move(latent));
}

// The Jacobian as an m×n row-major matrix, zeros included; with a layout the
// latent columns hold entries only in the rows of their own point.
template <ResidualFunction Residual>
FitResult<std::vector<double>> finite_difference_for_layout(std::span<const double> x,
                                                            std::span<const double> lower,
                                                            std::span<const double> upper,
                                                            std::span<const double> base, std::size_t m,
                                                            const std::optional<StructuredLayout>& layout,
                                                            Residual& residual) {
  auto jacobian = finite_difference_jacobian(x, lower, upper, base, m, layout, residual);
  if (!jacobian) return std::unexpected(std::move(jacobian).error());
  return jacobian->to_dense();
}

}  // namespace nivaltus::fit
