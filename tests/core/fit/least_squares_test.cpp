// The bounded Levenberg-Marquardt engine: how runs end and what residual
// failures lead to (optima: the EOS fronts and Python tests against SciPy).

#include "core/fit/least_squares.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <tuple>

#include "tests/core/fit/fit_test_support.hpp"

namespace nivaltus::fit {
namespace {

using namespace test;

using Residual = std::function<FitResult<Vector>(std::span<const double>)>;

FitResult<SolverResult> solve(const auto& residual, const Vector& x0, const SolverOptions& options = {},
                              const std::optional<StructuredLayout>& layout = std::nullopt) {
  return least_squares_internal(x0, Vector(x0.size(), -inf), Vector(x0.size(), inf), options, layout,
                                residual);
}

// r = x − x0 + 1 with J = 1, so that a trial at damping λ lies at
// x − f/(1 + λ), except at scripted calls: '=' returns the current residual
// again (an equal cost, rejected), 'v' half of it (accepted).
struct Scripted {
  double x0;
  std::string script;
  double x = x0, f = 1.0, last_step = 0.0;  // last_step: that of the last scripted trial
  std::size_t calls = 0;

  FitResult<Vector> operator()(std::span<const double> p) {
    const char step = calls < script.size() ? script[calls] : '.';
    ++calls;
    if (step == '.') return Vector{p[0] - x0 + 1.0};
    last_step = x - p[0];
    if (step == 'v') x = p[0], f *= 0.5;
    return Vector{f};
  }
};

// How a run ends. Budgets of one and two evaluations stop before any trial
// and after the first; the exact line starts at its optimum (gtol, with a
// second Jacobian); a cost that overflows is never success. r = (x − 3, x − 5)
// ends on ftol; r = x − 3 without gtol on xtol; the noisy line on both.
// Rejected trials raise λ tenfold from 1e-3: from x0 = 3 the 20th and later
// steps round back onto x0 and are not evaluated, and the smallest attempted
// step satisfies xtol. After 23 rejections and an acceptance (λ = 0.3·1e20)
// λ reaches its cap 1e30, and 24 rejections without xtol find no step.
TEST(LeastSquares, HowARunEnds) {
  const auto line = [](Vector y) -> Residual {
    return [y](std::span<const double> p) -> FitResult<Vector> {
      Vector r(y.size());
      for (std::size_t i = 0; i < y.size(); ++i) r[i] = p[0] + p[1] * static_cast<double>(i) - y[i];
      return r;
    };
  };
  const Residual exact = line({1, 3, 5}), noisy = line({1.0, 3.1, 4.9, 7.2, 9.0});
  const Residual overflowing = [](auto) -> FitResult<Vector> { return Vector{1e200, 1e200}; };
  const Residual two = [](auto p) -> FitResult<Vector> { return Vector{p[0] - 3.0, p[0] - 5.0}; };
  const Residual one = [](auto p) -> FitResult<Vector> { return Vector{p[0] - 3.0}; };
  Scripted rejected{3.0, "..." + std::string(19, '=')};
  Scripted capped{0.0, "..." + std::string(23, '=') + "v.." + std::string(24, '=')};
  const std::string budget = "The maximum number of function evaluations is exceeded.";
  const std::string no_step = "No acceptable optimization step could be computed.";
  const std::string xtol = "`xtol` termination condition is satisfied.";
  const struct {
    Residual residual;
    Vector x0;
    SolverOptions options;
    int status;
    std::string message;
    std::size_t nfev, njev;
  } cases[] = {
      {exact, {0.0, 0.0}, {1}, 0, budget, 1, 1},
      {exact, {0.0, 0.0}, {2}, 0, budget, 2, 1},
      {exact, {1.0, 2.0}, {}, 1, "`gtol` termination condition is satisfied.", 1, 2},
      {overflowing, {1.0}, {}, 0, no_step, 1, 1},
      {two, {0.0}, {}, 2, "`ftol` termination condition is satisfied.", 4, 4},
      {one, {0.0}, {{}, 1.0, 1e-8, 1e-300}, 3, xtol, 5, 5},
      {noisy, {0.0, 0.0}, {}, 4, "Both `ftol` and `xtol` termination conditions are satisfied.", 5, 5},
      {std::ref(rejected), {3.0}, {}, 3, xtol, 20, 2},
      {std::ref(capped), {0.0}, {{}, 1.0, 1e-8, 1e-8, 1e-300}, 0, no_step, 49, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    const SolverResult r = solve(c.residual, c.x0, c.options).value();
    EXPECT_EQ(std::tuple(r.status, r.success, r.message, r.nfev, r.njev),
              std::tuple(c.status, c.status != 0, c.message, c.nfev, c.njev));
    if (c.nfev == 1) {
      EXPECT_EQ(r.x, c.x0);
    }
  }
  EXPECT_EQ(rejected.calls, 24u);
  EXPECT_NEAR(capped.last_step / capped.f, 1e-30, 1e-36) << capped.x;
}

// A model error at a trial point is a rejected step: the damping grows and
// a shorter step is tried. Any other failure of the residual function ends
// the run with its own error, at a trial as at the start; so does a model
// error at the start, and a residual vector that the layout does not fit.
TEST(LeastSquares, ResidualFailures) {
  const FitError eos = FitError::eos(EosError::invalid_state("volume", "must be positive and finite"));
  const FitError evaluation = FitError::evaluation_failed("residual function raised");
  // r = (x − 3, 2(x + 1)) from 100, failing at the seventh call (the second
  // trial, after two central-difference Jacobians) or at the start.
  std::size_t calls = 0;
  const auto failing_at = [&calls](const FitError& error, std::size_t failing_call) {
    calls = 0;
    return [&calls, error, failing_call](std::span<const double> p) -> FitResult<Vector> {
      if (++calls == failing_call) return std::unexpected(error);
      return Vector{p[0] - 3.0, 2.0 * (p[0] + 1.0)};
    };
  };
  EXPECT_TRUE(fails_with(solve(failing_at(evaluation, 7), {100.0}), evaluation));
  EXPECT_EQ(calls, 7u);
  EXPECT_TRUE(fails_with(solve(failing_at(eos, 1), {100.0}), eos));
  // r = x² − 4 from 0.5: the Gauss-Newton step overshoots to 4.25, past the
  // model's domain x ≤ 3; the damped retry lands inside and the run goes on
  // to the root 2.
  std::size_t outside = 0;
  const auto bounded_domain = [&](std::span<const double> p) -> FitResult<Vector> {
    if (p[0] > 3.0) return ++outside, std::unexpected(eos);
    return Vector{p[0] * p[0] - 4.0};
  };
  const SolverResult root = solve(bounded_domain, {0.5}).value();
  EXPECT_TRUE(root.success) << root.message;
  EXPECT_NEAR(root.x[0], 2.0, 1e-8);
  EXPECT_GE(outside, 1u);
  const auto three = [](std::span<const double>) -> FitResult<Vector> { return Vector{1.0, 2.0, 3.0}; };
  EXPECT_TRUE(fails_with(solve(three, {0.0, 1.0, 2.0}, {}, StructuredLayout{1, 2, 1}),
                         input("structured layout does not match the residual vector")));
}

}  // namespace
}  // namespace nivaltus::fit
