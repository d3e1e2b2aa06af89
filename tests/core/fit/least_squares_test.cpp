// The bounded Levenberg-Marquardt engine on problems with known optima:
// weighted and errors-in-variables straight lines, robust fits, BM3 in two
// unit systems; its statuses, counters, bounds and failures.

#include "core/fit/least_squares.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numeric>
#include <optional>
#include <tuple>

#include "core/fit/covariance.hpp"
#include "tests/core/fit/fit_test_support.hpp"

namespace nivaltus::fit {
namespace {

using namespace test;

using Residual = std::function<FitResult<Vector>(std::span<const double>)>;

// Tolerances far below the default, for comparisons with closed forms.
constexpr double tight = 1e-15;

SolverOptions options_with(Loss loss = Loss::Linear, double f_scale = 1.0, double tolerance = 1e-8,
                           std::optional<std::size_t> max_nfev = std::nullopt) {
  return {max_nfev, f_scale, tolerance, tolerance, tolerance, loss};
}

FitResult<SolverResult> solve(const auto& residual, const Vector& x0, const SolverOptions& options = {},
                              const std::optional<StructuredLayout>& layout = std::nullopt) {
  return least_squares_internal(x0, Vector(x0.size(), -inf), Vector(x0.size(), inf), options, layout,
                                residual);
}

SolverResult run(const auto& residual, const Vector& x0, const SolverOptions& options = {},
                 const std::optional<StructuredLayout>& layout = std::nullopt) {
  auto result = solve(residual, x0, options, layout);
  EXPECT_TRUE(result.has_value()) << result.error();
  return result.value_or(SolverResult{});
}

// Weighted straight line: the normal-equation closed form
//   Δ = S·Sxx − Sx², a = (Sxx·Sy − Sx·Sxy)/Δ, b = (S·Sxy − Sx·Sy)/Δ,
//   var a = Sxx/Δ, var b = S/Δ, cov ab = −Sx/Δ  (sums weighted by 1/σ²).
TEST(LeastSquares, WeightedLineReachesTheClosedFormAndItsCovariance) {
  const WeightedLine line{
      {0, 1, 2, 3, 4, 5}, {1.1, 2.9, 5.2, 6.8, 9.1, 11.2}, {0.1, 0.2, 0.1, 0.3, 0.2, 0.1}};
  double s = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (std::size_t i = 0; i < line.x.size(); ++i) {
    const double w = 1.0 / (line.sigma[i] * line.sigma[i]);
    s += w;
    sx += w * line.x[i];
    sy += w * line.y[i];
    sxx += w * line.x[i] * line.x[i];
    sxy += w * line.x[i] * line.y[i];
  }
  const double delta = s * sxx - sx * sx;
  const SolverResult result = run(line, {0.0, 0.0}, options_with(Loss::Linear, 1.0, tight));
  EXPECT_TRUE(result.success) << result.message;
  EXPECT_TRUE(all_near(result.x, Vector{(sxx * sy - sx * sxy) / delta, (s * sxy - sx * sy) / delta}, 1e-7));
  const auto covariance = parameter_covariance(result.jac, 2);
  ASSERT_TRUE(covariance.has_value()) << covariance.error();
  EXPECT_TRUE(all_near(*covariance, Vector{sxx / delta, -sx / delta, -sx / delta, s / delta}, 1e-6));
}

// Deming regression, the closed form of the errors-in-variables line with
// δ = σ_y²/σ_x²: b = (s_yy − δ·s_xx + √((s_yy − δ·s_xx)² + 4δ·s_xy²)) / (2·s_xy),
// a = ȳ − b·x̄. The structured run and the dense run of the same problem
// reach it; the structured one profiles the abscissae out of the covariance.
TEST(LeastSquares, ErrorsInVariablesLineStructuredEqualsDenseAndDeming) {
  const ErrorsInVariablesLine line = scattered_line(40, 0.2, 0.3);
  const std::size_t n = line.x.size();
  const double mean_x = std::accumulate(line.x.begin(), line.x.end(), 0.0) / n;
  const double mean_y = std::accumulate(line.y.begin(), line.y.end(), 0.0) / n;
  double sxx = 0, syy = 0, sxy = 0;
  for (std::size_t i = 0; i < n; ++i) {
    sxx += (line.x[i] - mean_x) * (line.x[i] - mean_x);
    syy += (line.y[i] - mean_y) * (line.y[i] - mean_y);
    sxy += (line.x[i] - mean_x) * (line.y[i] - mean_y);
  }
  const double d = (line.sigma_y * line.sigma_y) / (line.sigma_x * line.sigma_x);
  const double slope =
      (syy - d * sxx + std::sqrt((syy - d * sxx) * (syy - d * sxx) + 4.0 * d * sxy * sxy)) / (2.0 * sxy);
  const double intercept = mean_y - slope * mean_x;

  Vector initial{0.0, 1.0};
  initial.insert(initial.end(), line.x.begin(), line.x.end());
  const SolverResult structured = run(line, initial, {}, StructuredLayout{2, n, 1});
  const SolverResult dense = run(line, initial);
  ASSERT_TRUE(structured.success && dense.success) << structured.message << " / " << dense.message;
  EXPECT_TRUE(
      all_near(Vector(structured.x.begin(), structured.x.begin() + 2), Vector{intercept, slope}, 1e-7));
  EXPECT_TRUE(all_near(structured.x, dense.x, 1e-7, 1.0));
  EXPECT_TRUE(relatively_near(structured.cost, dense.cost, 1e-10));
  EXPECT_TRUE(structured.jac.is_structured());
  EXPECT_TRUE(all_near(parameter_covariance_structured(structured.jac, StructuredLayout{2, n, 1}).value(),
                       parameter_covariance(dense.jac, 2).value(), 1e-5));
}

// Huber location of {0, 1, 2, 3, 100} with C = 1.5: Σψ(y_i − μ) = 0 with
// ψ(r) = clamp(r, −C, C) holds at μ = 2 (−1.5 − 1 + 0 + 1 + 1.5); the mean is 21.2.
TEST(LeastSquares, HuberLocationIgnoresTheOutlier) {
  const auto residual = [](std::span<const double> p) -> FitResult<Vector> {
    return Vector{p[0], p[0] - 1, p[0] - 2, p[0] - 3, p[0] - 100};
  };
  const SolverResult robust = run(residual, {21.2}, options_with(Loss::Huber, 1.5, tight));
  EXPECT_TRUE(robust.success) << robust.message;
  EXPECT_NEAR(robust.x[0], 2.0, 1e-6);
  // ρ: z ≤ 1 for the residuals 1, 0, 1; 2√z − 1 for 2/1.5 and 98/1.5.
  const double c2 = 2.25;
  const double cost =
      0.5 * c2 * (1.0 / c2 + 0.0 + 1.0 / c2 + (2.0 * 2.0 / 1.5 - 1.0) + (2.0 * 98.0 / 1.5 - 1.0));
  EXPECT_TRUE(relatively_near(robust.cost, cost, 1e-9));
  EXPECT_NEAR(run(residual, {2.0}).x[0], 21.2, 1e-6);
}

// y = a·exp(b·t) with one outlier at t = 6, C = 0.1: the optima and costs
// that SciPy's least_squares reports for each loss from the same start.
TEST(LeastSquares, RobustExponentialMatchesScipy) {
  const Vector y{2.005910404133227,   1.4998223898999494, 1.087026549369883,  0.7976840297300786,
                 0.6169678046269217,  0.4579586641546949, 1.3130038612437396, 0.23774827086122727,
                 0.20087605660672453, 0.13656609852548846};
  const auto residual = [&](std::span<const double> p) -> FitResult<Vector> {
    Vector r(y.size());
    for (std::size_t i = 0; i < y.size(); ++i) r[i] = p[0] * std::exp(p[1] * static_cast<double>(i)) - y[i];
    return r;
  };
  struct Expected {
    Loss loss;
    double a, b, cost;
  };
  const Expected cases[] = {
      {Loss::Linear, 1.9035521979613366, -0.23109574495608784, 0.41327975294840175},
      {Loss::SoftL1, 1.9939856155983162, -0.29074139493616236, 0.08845306747850264},
      {Loss::Huber, 1.993907456846526, -0.2909622656416372, 0.09296553387794078},
      {Loss::Cauchy, 2.0045491446775485, -0.29850100747109215, 0.02355456032715981},
      {Loss::Arctan, 2.0056787586452187, -0.29940648069343917, 0.008494871860614296},
  };
  for (const Expected& c : cases) {
    const SolverResult result = run(residual, {1.0, -0.1}, options_with(c.loss, 0.1, tight));
    EXPECT_TRUE(result.success) << c.loss.name() << ": " << result.message;
    EXPECT_TRUE(all_near(result.x, Vector{c.a, c.b}, 1e-6)) << c.loss.name();
    EXPECT_TRUE(relatively_near(result.cost, c.cost, 1e-9)) << c.loss.name();
  }
}

// Trials that never lower the cost: each is rejected (an equal cost too),
// λ grows tenfold from 1e-3, so the k-th trial lies at x0 − 1/(1 + 1e-3·10^k)
// for J = 1, r = 1. From k = 19 on the step (< 1e-16) rounds back onto
// x0 = 3: such a step is not evaluated, and after 24 attempts the smallest
// one satisfies xtol.
TEST(LeastSquares, RejectedTrialsRaiseDampingUntilXtol) {
  std::size_t calls = 0;
  Vector trials;
  const auto residual = [&](std::span<const double> p) -> FitResult<Vector> {
    if (++calls >= 4 && calls < 23) {
      trials.push_back(p[0]);
      return Vector{1.0};
    }
    return Vector{1.0 + (p[0] - 3.0)};
  };
  const SolverResult result = run(residual, {3.0});
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.message, "`xtol` termination condition is satisfied.");
  EXPECT_EQ(result.nfev, 20u);
  EXPECT_EQ(result.njev, 2u);
  EXPECT_EQ(calls, 24u);
  EXPECT_EQ(result.x, Vector{3.0});
  ASSERT_EQ(trials.size(), 19u);
  for (std::size_t k = 0; k < 19; ++k) {
    const double step = 1.0 / (1.0 + 1e-3 * std::pow(10.0, k));
    EXPECT_NEAR(3.0 - trials[k], step, 1e-6 * step + 4.5e-16) << k;
  }
}

// How a run ends, for the exact line y = 1 + 2x: a budget of one
// evaluation stops before any trial, one of two after the first; the
// optimum ends on gtol. A constant residual of 1e200 passes the checks but
// its cost overflows, which is never success.
TEST(LeastSquares, StatusMessageAndCounters) {
  const WeightedLine line{{0, 1, 2}, {1, 3, 5}, {1, 1, 1}};
  const Residual overflowing = [](std::span<const double>) -> FitResult<Vector> {
    return Vector{1e200, 1e200};
  };
  const std::string budget = "The maximum number of function evaluations is exceeded.";
  const struct {
    Residual residual;
    Vector x0;
    std::optional<std::size_t> max_nfev;
    int status;
    std::string message;
    std::size_t nfev, njev;
  } cases[] = {
      {line, {0.0, 0.0}, 1, 0, budget, 1, 1},
      {line, {0.0, 0.0}, 2, 0, budget, 2, 1},
      {line, {1.0, 2.0}, std::nullopt, 1, "`gtol` termination condition is satisfied.", 1, 2},
      {overflowing, {1.0}, std::nullopt, 0, "No acceptable optimization step could be computed.", 1, 1},
  };
  for (const auto& c : cases) {
    const SolverResult r = run(c.residual, c.x0, options_with(Loss::Linear, 1.0, 1e-8, c.max_nfev));
    EXPECT_EQ(std::tuple(r.status, r.success, r.message, r.nfev, r.njev, r.x == c.x0),
              std::tuple(c.status, c.status != 0, c.message, c.nfev, c.njev, c.nfev == 1));
  }
}

// The optimum of r = x − 5 lies outside [0, 2]: every evaluated point stays
// in the box and the run ends on the bound, where the blocked gradient
// counts zero.
TEST(LeastSquares, TrialsAreClampedToTheBox) {
  Vector evaluated;
  const auto residual = [&](std::span<const double> p) -> FitResult<Vector> {
    evaluated.push_back(p[0]);
    return Vector{p[0] - 5.0, 0.1 * (p[0] - 5.0)};
  };
  const auto result =
      least_squares_internal(Vector{0.5}, Vector{0.0}, Vector{2.0}, {}, std::nullopt, residual);
  ASSERT_TRUE(result.has_value()) << result.error();
  EXPECT_EQ(result->x[0], 2.0);
  EXPECT_TRUE(result->success) << result->message;
  EXPECT_EQ(result->optimality, 0.0);
  for (const double p : evaluated) EXPECT_TRUE(p >= 0.0 && p <= 2.0) << p;
}

// A model error at a trial point is a rejected step: the damping grows and
// a shorter step is tried. Any other failure of the residual function ends
// the run with its own error, at a trial as at the start; so does a model
// error at the start, and a residual vector that changes length.
TEST(LeastSquares, ResidualFailures) {
  const FitError eos = FitError::eos(EosError::invalid_state("volume", "must be positive and finite"));
  const FitError evaluation = FitError::evaluation_failed("residual function raised");
  // r = (x − 3, 2(x + 1)) from 100, failing at the seventh call: start, two
  // for the Jacobian, the first trial, two for the next Jacobian, the second
  // trial.
  const auto failing_at = [](const FitError& error, std::size_t failing_call, std::size_t& calls) {
    return [&error, failing_call, &calls](std::span<const double> p) -> FitResult<Vector> {
      if (++calls == failing_call) return std::unexpected(error);
      return Vector{p[0] - 3.0, 2.0 * (p[0] + 1.0)};
    };
  };
  std::size_t calls = 0;
  EXPECT_TRUE(fails_with(solve(failing_at(evaluation, 7, calls), {100.0}), evaluation));
  EXPECT_EQ(calls, 7u);
  calls = 0;
  EXPECT_TRUE(fails_with(solve(failing_at(eos, 1, calls), {100.0}), eos));
  // r = x² − 4 from 0.5: the Gauss-Newton step overshoots to 4.25, past the
  // model's domain x ≤ 3; the damped retry lands inside and the run goes on
  // to the root 2.
  std::size_t outside = 0;
  const auto bounded_domain = [&](std::span<const double> p) -> FitResult<Vector> {
    if (p[0] > 3.0) return ++outside, std::unexpected(eos);
    return Vector{p[0] * p[0] - 4.0};
  };
  const SolverResult root = run(bounded_domain, {0.5});
  EXPECT_TRUE(root.success) << root.message;
  EXPECT_NEAR(root.x[0], 2.0, 1e-8);
  EXPECT_GE(outside, 1u);

  std::size_t length = 2;
  const auto changing = [&](std::span<const double> p) -> FitResult<Vector> {
    return Vector(length++, p[0] - 1.0);
  };
  EXPECT_TRUE(fails_with(solve(changing, {0.0}), invalid_vector));
  const auto three = [](std::span<const double>) -> FitResult<Vector> { return Vector{1.0, 2.0, 3.0}; };
  EXPECT_TRUE(fails_with(solve(three, {0.0, 1.0, 2.0}, {}, StructuredLayout{1, 2, 1}),
                         input("structured layout does not match the residual vector")));
}

// Under Cauchy the losses divide by f_scale²: a scale whose square is not a
// normal double is refused, one whose square is normal runs to a finite cost.
TEST(LeastSquares, ExtremeFScale) {
  const WeightedLine line{{0, 1, 2}, {1, 3, 5}, {1, 1, 1}};
  EXPECT_TRUE(fails_with(solve(line, {0.0, 0.0}, options_with(Loss::Cauchy, 1e160)),
                         input("f_scale squared must be a normal finite number")));
  for (const double f_scale : {1e-100, 1e150}) {
    const SolverResult result = run(line, {0.0, 0.0}, options_with(Loss::Cauchy, f_scale));
    EXPECT_TRUE(result.success && std::isfinite(result.cost)) << f_scale << ": " << result.message;
  }
}

// Twelve points of V0 = 11 cm³/mol, K0 = 160 GPa, K0' = 4.5 with a scatter
// of 0.4 GPa, σ = 0.5 GPa, in the given units. BM3 pressure:
// P = 1.5·K0·(η^7 − η^5)·(1 + 0.75·(K0' − 4)·(η² − 1)), η = (V0/V)^(1/3).
Residual bm3_residual(double volume_unit, double pressure_unit) {
  const auto bm3 = [](double v0, double k0, double k0_prime, double v) {
    const double eta = std::cbrt(v0 / v);
    return 1.5 * k0 * (std::pow(eta, 7) - std::pow(eta, 5)) *
           (1.0 + 0.75 * (k0_prime - 4.0) * (eta * eta - 1.0));
  };
  Vector volume, pressure;
  for (int i = 0; i < 12; ++i) {
    volume.push_back(11.0 * (1.0 - 0.025 * i));
    pressure.push_back((bm3(11.0, 160.0, 4.5, volume.back()) + 0.4 * scatter(i)) * pressure_unit);
    volume.back() *= volume_unit;
  }
  return [=](std::span<const double> p) -> FitResult<Vector> {
    Vector r(volume.size());
    for (std::size_t i = 0; i < r.size(); ++i)
      r[i] = (bm3(p[0], p[1], p[2], volume[i]) - pressure[i]) / (0.5 * pressure_unit);
    return r;
  };
}

// Å³ per formula unit in one cm³/mol: 1e24 / N_A.
constexpr double cubic_angstrom = 1.6605390671738466;

// The same data in GPa and Å³ and in Pa and m³/mol: the residuals are
// the same numbers, so the optimum and the covariance must agree once the
// units are converted. Parameters of size 1e-5 and 1e11 side by side must
// neither stop the run early nor lose a variance.
TEST(LeastSquares, Bm3FitDoesNotDependOnUnits) {
  const SolverResult gpa = run(bm3_residual(cubic_angstrom, 1.0), {11.5 * cubic_angstrom, 120.0, 4.0});
  const SolverResult si = run(bm3_residual(1e-6, 1e9), {11.5e-6, 120e9, 4.0});
  ASSERT_TRUE(gpa.success && si.success) << gpa.message << " / " << si.message;
  EXPECT_TRUE(relatively_near(si.cost, gpa.cost, 1e-9));
  const Vector units{1e-6 / cubic_angstrom, 1e9, 1.0};
  Vector x = gpa.x, covariance = parameter_covariance(gpa.jac, 3).value();
  for (std::size_t a = 0; a < 3; ++a) {
    x[a] *= units[a];
    for (std::size_t b = 0; b < 3; ++b) covariance[a * 3 + b] *= units[a] * units[b];
  }
  EXPECT_TRUE(all_near(si.x, x, 1e-6));
  EXPECT_TRUE(all_near(parameter_covariance(si.jac, 3).value(), covariance, 1e-4));
}

}  // namespace
}  // namespace nivaltus::fit
