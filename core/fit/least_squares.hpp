#pragma once
// Bounded Levenberg-Marquardt least squares over a residual function object.
//
// Each iteration takes a finite-difference Jacobian J at x, the robust
// weights w of the residuals f, the normal equations A = JᵀWJ, G = JᵀWf, and
// tries up to 24 damped steps (A + λ·diag|A|)·δ = −G, each trial clamped to
// the bounds. A trial is accepted when its cost is strictly lower; λ then
// shrinks to max(0.3·λ, 1e-15), otherwise it grows to min(10·λ, 1e30) (a
// failed solve or a step clamped back onto x grows it tenfold without cap).
// λ starts at 1e-3 and carries over between iterations.
//
// A parameter on a bound that its descent direction points past is held
// fixed for the iteration's steps (hold_blocked_parameters): the others take
// the step of the problem restricted to them, instead of a step of the whole
// problem that the clamp would mostly throw away. A trial at which the model
// cannot be evaluated (an EOS error of the residual function) is a rejected
// step, as is one of higher cost; every other failure ends the run.
//
// Stopping tests, in their order: optimality ≤ gtol before any step
// (status 1); after an accepted step, ftol |F_old − F_new| ≤ ftol·F_old
// and xtol s ≤ (‖x‖_s + xtol)·xtol (statuses 2, 3, 4), then the budget
// (status 0); after 24 fruitless attempts the budget, then xtol on the
// smallest attempted step (status 3), else status 0 "no acceptable step".
// s is the step measured relative to the old point, component by component
// divided by max(|x_i|, 1), and ‖x‖_s is x measured the same way, so the
// test does not depend on the units of the parameters.
//
// nfev counts the initial and trial evaluations only; a Jacobian's
// evaluations do not consume the budget. A run whose cost is not finite
// never ends in success.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/fit/checked_size.hpp"
#include "core/fit/finite_difference.hpp"
#include "core/fit/fit_error.hpp"
#include "core/fit/loss.hpp"
#include "core/fit/normal_equations.hpp"
#include "core/fit/solver_types.hpp"
#include "core/fit/validation.hpp"

namespace nivaltus::fit {

inline constexpr std::size_t max_step_attempts = 24;

namespace detail {

// 100·max(n, 1), saturating.
inline std::size_t default_budget(std::size_t n) {
  return checked_product(100, std::max<std::size_t>(n, 1)).value_or(std::numeric_limits<std::size_t>::max());
}

// The trial coordinate x + δ held inside [lower, upper]; NaN stays NaN.
inline double clamp_to_bounds(double value, double lower, double upper) {
  if (value < lower) return lower;
  if (value > upper) return upper;
  return value;
}

}  // namespace detail

// Minimises the robust cost of residual(x) over lower ≤ x ≤ upper from
// initial. With a layout the problem is structured (n = g + L·P parameters,
// m = (L + 1)·P residuals) and the Jacobian, normal equations and reported
// Jacobian stay in block form. The residual function object is called as
// residual(std::span<const double> x) -> FitResult<std::vector<double>> (see
// ResidualFunction). A FitError of the residual function, of a Jacobian or
// of a residual check ends the run with that error.
template <ResidualFunction Residual>
FitResult<SolverResult> least_squares_internal(std::span<const double> initial, std::span<const double> lower,
                                               std::span<const double> upper, const SolverOptions& options,
                                               const std::optional<StructuredLayout>& layout,
                                               Residual&& residual) {
  if (auto valid = validate_problem(initial, lower, upper, options); !valid) {
    return std::unexpected(std::move(valid).error());
  }
  const std::size_t n = initial.size();
  std::optional<LayoutSizes> sizes;
  if (layout) {
    // The Jacobian indexes x through the layout: n = g + L·P must hold.
    if (auto matches = check_layout_parameters(*layout, n); !matches) {
      return std::unexpected(std::move(matches).error());
    }
    sizes = layout_sizes(*layout);
  }

  SolverResult result;
  std::vector<double> x(initial.begin(), initial.end());
  FitResult<std::vector<double>> first = residual(std::span<const double>(x));
  if (!first) return std::unexpected(std::move(first).error());
  if (auto valid = validate_residuals(*first); !valid) return std::unexpected(std::move(valid).error());
  std::vector<double> f = std::move(*first);
  const std::size_t m = f.size();
  if (sizes && m != sizes->residual_count) {
    return fail_input("structured layout does not match the residual vector");
  }

  const Loss loss = options.loss;
  const double f_scale = options.f_scale;
  double cost = robust_cost(f, loss, f_scale);
  std::size_t nfev = 1;
  std::size_t njev = 0;
  std::string_view message = status_message::max_evaluations;
  std::int32_t status = 0;
  const std::size_t budget = options.max_nfev.value_or(detail::default_budget(n));

  std::optional<Jacobian> reported;
  double optimality = 0.0;
  // The Jacobian at x (kept as the reported one), the weighted normal
  // equations and the optimality they give.
  const auto linearise = [&]() -> FitResult<NormalEquations> {
    auto jacobian = finite_difference_jacobian(x, lower, upper, f, m, layout, residual);
    if (!jacobian) return std::unexpected(std::move(jacobian).error());
    reported = std::move(*jacobian);
    const std::vector<double> weights = robust_weights(f, loss, f_scale);
    NormalEquations normal = normal_equations_for_layout(*reported, f, weights);
    optimality = projected_gradient_norm(normal.gradient, x, lower, upper);
    ++njev;
    return normal;
  };

  if (budget >= 2) {
    double lambda = 1e-3;
    std::vector<double> trial(n);
    while (true) {
      FitResult<NormalEquations> linearised = linearise();
      if (!linearised) return std::unexpected(std::move(linearised).error());
      if (optimality <= options.gtol) {
        status = 1;
        message = status_message::gtol;
        break;
      }
      NormalEquations& normal = *linearised;
      hold_blocked_parameters(normal, x, lower, upper);

      std::size_t attempts = 0;
      double smallest = std::numeric_limits<double>::infinity();
      bool step_obtained = false;
      bool accepted = false;
      bool out_of_budget = false;
      double accepted_step = 0.0;
      const double cost_before = cost;
      while (attempts < max_step_attempts) {
        FitResult<std::vector<double>> step = solve_normal_step(normal.system, normal.gradient, lambda);
        ++attempts;
        if (!step) {
          lambda *= 10.0;
          continue;
        }
        for (std::size_t i = 0; i < n; ++i) {
          trial[i] = detail::clamp_to_bounds(x[i] + (*step)[i], lower[i], upper[i]);
        }
        const double step_norm = scaled_norm_difference(trial, x);
        if (step_norm < smallest) smallest = step_norm;
        if (step_norm == 0.0) {
          // Clamped back onto x: nothing to evaluate.
          step_obtained = true;
          lambda *= 10.0;
          continue;
        }
        if (nfev >= budget) {
          out_of_budget = true;
          break;
        }
        FitResult<std::vector<double>> r = residual(std::span<const double>(trial));
        if (!r && r.error().kind() != FitError::Kind::Eos) return std::unexpected(std::move(r).error());
        if (r) {
          if (auto valid = validate_residuals(*r, m); !valid)
            return std::unexpected(std::move(valid).error());
        }
        // A trial outside the model's domain counts as one of infinite cost.
        const double trial_cost =
            r ? robust_cost(*r, loss, f_scale) : std::numeric_limits<double>::infinity();
        ++nfev;
        if (trial_cost < cost_before) {
          x.swap(trial);
          f = std::move(*r);
          cost = trial_cost;
          lambda = std::max(0.3 * lambda, 1e-15);
          accepted = true;
          accepted_step = step_norm;
          break;
        }
        lambda = std::min(10.0 * lambda, 1e30);
        step_obtained = true;
      }

      if (out_of_budget) break;
      if (!accepted) {
        if (nfev >= budget) break;
        if (step_obtained && smallest <= (scaled_norm(x) + options.xtol) * options.xtol) {
          status = 3;
          message = status_message::xtol;
        } else {
          message = status_message::no_step;
        }
        break;
      }
      const bool xtol_met = accepted_step <= (scaled_norm(x) + options.xtol) * options.xtol;
      // A relative change of an infinite cost means nothing.
      const bool ftol_met =
          std::isfinite(cost_before) && std::fabs(cost_before - cost) <= options.ftol * cost_before;
      if (ftol_met && xtol_met) {
        status = 4;
        message = status_message::ftol_and_xtol;
        break;
      }
      if (xtol_met) {
        status = 3;
        message = status_message::xtol;
        break;
      }
      if (ftol_met) {
        status = 2;
        message = status_message::ftol;
        break;
      }
      if (nfev >= budget) break;
    }
  }

  if (status != 0 && !std::isfinite(cost)) {
    status = 0;
    message = status_message::no_step;
  }
  if (status != 0 || !reported) {
    if (auto linearised = linearise(); !linearised) return std::unexpected(std::move(linearised).error());
  }
  if (loss != Loss::Linear) reported->scale_rows(robust_row_factors(f, loss, f_scale));

  result.x = std::move(x);
  result.fun = std::move(f);
  result.jac = std::move(*reported);
  result.message = std::string(message);
  result.m = m;
  result.cost = cost;
  result.optimality = optimality;
  result.nfev = nfev;
  result.njev = njev;
  result.status = status;
  result.success = status != 0;
  return result;
}

}  // namespace nivaltus::fit
