// The bounded Levenberg-Marquardt engine on problems with known optima:
// weighted and errors-in-variables straight lines, a robust location, BM3 in
// two unit systems; its statuses, counters, bounds and failures.

#include "core/fit/least_squares.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <optional>

#include "core/fit/covariance.hpp"
#include "tests/core/fit/fit_test_support.hpp"

namespace nivaltus::fit {
namespace {

using namespace test;

SolverOptions options_with(Loss loss = Loss::Linear, double f_scale = 1.0,
                           std::optional<std::size_t> max_nfev = std::nullopt) {
  SolverOptions options;
  options.max_nfev = max_nfev;
  options.f_scale = f_scale;
  options.loss = loss;
  return options;
}

// Tolerances far below the default, for comparisons with closed forms.
SolverOptions tight(Loss loss = Loss::Linear, double f_scale = 1.0) {
  SolverOptions options = options_with(loss, f_scale);
  options.ftol = options.xtol = options.gtol = 1e-15;
  return options;
}

Vector unbounded(std::size_t n, double sign) { return Vector(n, sign * inf); }

SolverResult run(const auto& residual, const Vector& initial, const SolverOptions& options = options_with(),
                 const std::optional<StructuredLayout>& layout = std::nullopt) {
  auto result = least_squares_internal(initial, unbounded(initial.size(), -1.0),
                                       unbounded(initial.size(), 1.0), options, layout, residual);
  EXPECT_TRUE(result.has_value()) << result.error();
  return result ? std::move(*result) : SolverResult{};
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
  const SolverResult result = run(line, {0.0, 0.0}, tight());
  EXPECT_TRUE(result.success) << result.message;
  EXPECT_GE(result.status, 1);
  EXPECT_TRUE(all_near(result.x, Vector{(sxx * sy - sx * sxy) / delta, (s * sxy - sx * sy) / delta}, 1e-7));
  const auto covariance = parameter_covariance(result.jac, 2);
  ASSERT_TRUE(covariance.has_value()) << covariance.error();
  EXPECT_TRUE(all_near(*covariance, Vector{sxx / delta, -sx / delta, -sx / delta, s / delta}, 1e-6));
  double cost = 0.0;
  for (const double r : result.fun) cost += 0.5 * r * r;
  EXPECT_TRUE(relatively_near(result.cost, cost, 1e-14));
  EXPECT_EQ(result.m, 6u);
  EXPECT_EQ(result.jac.rows(), 6u);
  EXPECT_EQ(result.jac.cols(), 2u);
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
  const SolverResult structured = run(line, initial, options_with(), StructuredLayout{2, n, 1});
  const SolverResult dense = run(line, initial);
  for (const SolverResult* result : {&structured, &dense}) {
    EXPECT_TRUE(result->success) << result->message;
    EXPECT_TRUE(relatively_near(result->x[0], intercept, 1e-7));
    EXPECT_TRUE(relatively_near(result->x[1], slope, 1e-7));
  }
  EXPECT_TRUE(all_near(structured.x, dense.x, 1e-7, 1.0));
  EXPECT_TRUE(relatively_near(structured.cost, dense.cost, 1e-10));
  EXPECT_TRUE(structured.jac.is_structured());

  const auto profiled = parameter_covariance_structured(structured.jac, StructuredLayout{2, n, 1});
  const auto trailing = parameter_covariance(dense.jac, 2);
  ASSERT_TRUE(profiled.has_value()) << profiled.error();
  ASSERT_TRUE(trailing.has_value()) << trailing.error();
  EXPECT_TRUE(all_near(*profiled, *trailing, 1e-5));
  EXPECT_TRUE(bit_identical(structured.jac.to_dense(), [&] {
    Vector dense_form(2 * n * (2 + n), 0.0);
    for (std::size_t i = 0; i < 2 * n; ++i) {
      for (std::size_t j = 0; j < 2 + n; ++j) dense_form[i * (2 + n) + j] = structured.jac.at(i, j);
    }
    return dense_form;
  }()));
}

// Huber location of {0, 1, 2, 3, 100} with C = 1.5: Σψ(y_i − μ) = 0 with
// ψ(r) = clamp(r, −C, C) holds at μ = 2 (−1.5 − 1 + 0 + 1 + 1.5); the mean is 21.2.
TEST(LeastSquares, HuberLocationIgnoresTheOutlier) {
  const Vector data{0, 1, 2, 3, 100};
  const auto residual = [&](std::span<const double> p) -> FitResult<Vector> {
    Vector r;
    for (const double y : data) r.push_back(p[0] - y);
    return r;
  };
  const SolverResult robust = run(residual, {21.2}, tight(Loss::Huber, 1.5));
  EXPECT_TRUE(robust.success) << robust.message;
  EXPECT_NEAR(robust.x[0], 2.0, 1e-6);
  // ρ: z ≤ 1 for the residuals 1, 0, 1; 2√z − 1 for 2/1.5 and 98/1.5.
  const double c2 = 2.25;
  const double cost =
      0.5 * c2 * (1.0 / c2 + 0.0 + 1.0 / c2 + (2.0 * 2.0 / 1.5 - 1.0) + (2.0 * 98.0 / 1.5 - 1.0));
  EXPECT_TRUE(relatively_near(robust.cost, cost, 1e-9));
  const SolverResult plain = run(residual, {2.0});
  EXPECT_NEAR(plain.x[0], 21.2, 1e-6);
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
    const SolverResult result = run(residual, {1.0, -0.1}, tight(c.loss, 0.1));
    EXPECT_TRUE(result.success) << c.loss.name() << ": " << result.message;
    EXPECT_TRUE(relatively_near(result.x[0], c.a, 1e-6)) << c.loss.name();
    EXPECT_TRUE(relatively_near(result.x[1], c.b, 1e-6)) << c.loss.name();
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
    ++calls;
    const bool trial = calls >= 4 && calls < 23;
    if (trial) {
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

// Counters and statuses at the edges of the budget and of the gtol test.
TEST(LeastSquares, BudgetAndGtolEdges) {
  const WeightedLine line{{0, 1, 2}, {1, 3, 5}, {1, 1, 1}};
  const SolverResult one = run(line, {0.0, 0.0}, options_with(Loss::Linear, 1.0, 1));
  EXPECT_EQ(one.status, 0);
  EXPECT_FALSE(one.success);
  EXPECT_EQ(one.message, "The maximum number of function evaluations is exceeded.");
  EXPECT_EQ(one.nfev, 1u);
  EXPECT_EQ(one.njev, 1u);
  EXPECT_EQ(one.x, (Vector{0.0, 0.0}));
  // J = [1, x_i], r = −y at the start: gradient Jᵀr = (−9, −13).
  EXPECT_NEAR(one.optimality, 13.0, 1e-6);
  EXPECT_NEAR(one.jac.at(2, 1), 2.0, 1e-7);

  const SolverResult two = run(line, {0.0, 0.0}, options_with(Loss::Linear, 1.0, 2));
  EXPECT_EQ(two.status, 0);
  EXPECT_EQ(two.nfev, 2u);
  EXPECT_EQ(two.njev, 1u);
  EXPECT_NE(two.x, (Vector{0.0, 0.0}));
  EXPECT_NEAR(two.optimality, 13.0, 1e-6);

  const SolverResult exact = run(line, {1.0, 2.0});
  EXPECT_EQ(exact.status, 1);
  EXPECT_EQ(exact.message, "`gtol` termination condition is satisfied.");
  EXPECT_TRUE(exact.success);
  EXPECT_EQ(exact.nfev, 1u);
  EXPECT_EQ(exact.njev, 2u);
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
  const Vector lower{0.0}, upper{2.0};
  const auto result =
      least_squares_internal(Vector{0.5}, lower, upper, options_with(), std::nullopt, residual);
  ASSERT_TRUE(result.has_value()) << result.error();
  EXPECT_EQ(result->x[0], 2.0);
  EXPECT_TRUE(result->success) << result->message;
  EXPECT_EQ(result->optimality, 0.0);
  for (const double p : evaluated) {
    EXPECT_GE(p, 0.0);
    EXPECT_LE(p, 2.0);
  }
}

// Failures of the residual function end the run with their own error.
TEST(LeastSquares, ResidualFailuresEndTheRun) {
  const EosError eos = EosError::invalid_state("volume", "must be positive and finite");
  std::size_t calls = 0;
  const auto failing_at_call = [&](std::size_t failing, FitError error) {
    calls = 0;
    return [&calls, failing, error](std::span<const double> p) -> FitResult<Vector> {
      if (++calls == failing) return std::unexpected(error);
      return Vector{p[0] - 3.0, 2.0 * (p[0] + 1.0)};
    };
  };
  const Vector lower{-inf}, upper{inf};
  const auto at_start = least_squares_internal(Vector{0.0}, lower, upper, options_with(), std::nullopt,
                                               failing_at_call(1, FitError::eos(eos)));
  EXPECT_TRUE(fails_with(at_start, FitError::eos(eos)));
  // Calls: start, two for the Jacobian, the first trial (accepted), two for
  // the next Jacobian, the second trial.
  const auto at_trial = least_squares_internal(Vector{100.0}, lower, upper, options_with(), std::nullopt,
                                               failing_at_call(7, evaluation("callback raised")));
  EXPECT_TRUE(fails_with(at_trial, evaluation("callback raised")));
  EXPECT_EQ(calls, 7u);

  std::size_t length = 2;
  const auto changing = [&](std::span<const double> p) -> FitResult<Vector> {
    return Vector(length++, p[0] - 1.0);
  };
  EXPECT_TRUE(
      fails_with(least_squares_internal(Vector{0.0}, lower, upper, options_with(), std::nullopt, changing),
                 invalid_vector));
  const auto empty = [](std::span<const double>) -> FitResult<Vector> { return Vector{}; };
  EXPECT_TRUE(
      fails_with(least_squares_internal(Vector{0.0}, lower, upper, options_with(), std::nullopt, empty),
                 invalid_vector));
  const auto wrong_layout = least_squares_internal(
      Vector{0.0, 1.0, 2.0}, unbounded(3, -1), unbounded(3, 1), options_with(), StructuredLayout{1, 2, 1},
      [](std::span<const double>) -> FitResult<Vector> { return Vector{1.0, 2.0, 3.0}; });
  EXPECT_TRUE(fails_with(wrong_layout, input("structured layout does not match the residual vector")));
}

// A constant residual of 1e200 has the finite value the checks allow, but
// its cost overflows: the run cannot claim success.
TEST(LeastSquares, NonFiniteCostIsNeverSuccess) {
  const auto overflowing = [](std::span<const double>) -> FitResult<Vector> { return Vector{1e200, 1e200}; };
  const SolverResult result = run(overflowing, {1.0});
  EXPECT_TRUE(std::isinf(result.cost));
  EXPECT_FALSE(result.success);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.message, "No acceptable optimization step could be computed.");
}

// f_scale whose square is not a normal double is refused before any
// evaluation; one whose square is normal runs.
TEST(LeastSquares, ExtremeFScaleIsRefused) {
  const WeightedLine line{{0, 1, 2}, {1, 3, 5}, {1, 1, 1}};
  for (const double f_scale : {5e-324, 1e-160, 1e160, 1.7e308}) {
    const auto result = least_squares_internal(Vector{0.0, 0.0}, unbounded(2, -1), unbounded(2, 1),
                                               options_with(Loss::Cauchy, f_scale), std::nullopt, line);
    EXPECT_TRUE(fails_with(result, input("f_scale squared must be a normal finite number"))) << f_scale;
  }
  for (const double f_scale : {1e-100, 1e150}) {
    const SolverResult result = run(line, {0.0, 0.0}, options_with(Loss::Cauchy, f_scale));
    EXPECT_TRUE(std::isfinite(result.cost)) << f_scale;
    EXPECT_TRUE(result.success) << f_scale << ": " << result.message;
  }
}

// BM3 pressure, P = 1.5·K0·(η^7 − η^5)·(1 + 0.75·(K0' − 4)·(η² − 1)), η = (V0/V)^(1/3).
struct Bm3Data {
  Vector volume, pressure;
  double sigma;

  FitResult<Vector> operator()(std::span<const double> p) const {
    Vector r(volume.size());
    for (std::size_t i = 0; i < volume.size(); ++i) {
      const double eta = std::cbrt(p[0] / volume[i]);
      const double model = 1.5 * p[1] * (std::pow(eta, 7) - std::pow(eta, 5)) *
                           (1.0 + 0.75 * (p[2] - 4.0) * (eta * eta - 1.0));
      r[i] = (model - pressure[i]) / sigma;
    }
    return r;
  }
};

// Twelve points of V0 = 11 cm³/mol, K0 = 160 GPa, K0' = 4.5 with a scatter
// of 0.4 GPa, σ = 0.5 GPa, in the given units.
Bm3Data bm3_data(double volume_unit, double pressure_unit) {
  Bm3Data data{{}, {}, 0.5 * pressure_unit};
  for (int i = 0; i < 12; ++i) {
    const double v = 11.0 * (1.0 - 0.025 * i);
    const double eta = std::cbrt(11.0 / v);
    const double gpa =
        1.5 * 160.0 * (std::pow(eta, 7) - std::pow(eta, 5)) * (1.0 + 0.75 * 0.5 * (eta * eta - 1.0));
    data.volume.push_back(v * volume_unit);
    data.pressure.push_back((gpa + 0.4 * scatter(i)) * pressure_unit);
  }
  return data;
}

// Å³ per formula unit in one cm³/mol: 1e24 / N_A.
constexpr double cubic_angstrom = 1.6605390671738466;

// The same data in GPa and Å³ and in Pa and m³/mol: the residuals are
// the same numbers, so the optimum and the covariance must agree once the
// units are converted. Parameters of size 1e-5 and 1e11 side by side must
// neither stop the run early nor lose a variance.
TEST(LeastSquares, Bm3FitDoesNotDependOnUnits) {
  const SolverResult gpa = run(bm3_data(cubic_angstrom, 1.0), {11.5 * cubic_angstrom, 120.0, 4.0});
  const SolverResult si = run(bm3_data(1e-6, 1e9), {11.5e-6, 120e9, 4.0});
  ASSERT_TRUE(gpa.success) << gpa.message;
  ASSERT_TRUE(si.success) << si.message;
  const Vector units{1e-6 / cubic_angstrom, 1e9, 1.0};
  for (std::size_t j = 0; j < 3; ++j) EXPECT_TRUE(relatively_near(si.x[j], gpa.x[j] * units[j], 1e-6)) << j;
  EXPECT_TRUE(relatively_near(si.cost, gpa.cost, 1e-9));
  const auto gpa_covariance = parameter_covariance(gpa.jac, 3);
  const auto si_covariance = parameter_covariance(si.jac, 3);
  ASSERT_TRUE(gpa_covariance.has_value() && si_covariance.has_value());
  for (std::size_t a = 0; a < 3; ++a) {
    for (std::size_t b = 0; b < 3; ++b) {
      EXPECT_TRUE(relatively_near((*si_covariance)[a * 3 + b],
                                  (*gpa_covariance)[a * 3 + b] * units[a] * units[b], 1e-4))
          << a << "," << b;
    }
  }
}

}  // namespace
}  // namespace nivaltus::fit
