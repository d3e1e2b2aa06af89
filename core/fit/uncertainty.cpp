#include "core/fit/uncertainty.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "core/fit/checked_size.hpp"

namespace nivaltus::fit {
namespace {

bool all_finite(std::span<const double> values) { return std::ranges::all_of(values, is_finite); }

// Total order of doubles: −0.0 sorts before +0.0.
bool total_order_less(double a, double b) {
  const auto key = [](double v) {
    const auto bits = std::bit_cast<std::int64_t>(v);
    return bits < 0 ? bits ^ std::numeric_limits<std::int64_t>::max() : bits;
  };
  return key(a) < key(b);
}

// Linear interpolation between the order statistics of the sorted values at
// position q·(rows − 1).
double interpolated_percentile(std::span<const double> sorted, double q) {
  const std::size_t rows = sorted.size();
  const double h = q * saturated_count(rows - 1);
  const auto i = static_cast<std::size_t>(std::floor(h));
  const std::size_t j = std::min(i + 1, rows - 1);
  return sorted[i] + (sorted[j] - sorted[i]) * (h - static_cast<double>(i));
}

}  // namespace

FitResult<std::vector<double>> positive_semidefinite_factor(std::span<const double> covariance,
                                                            std::size_t n) {
  const auto size = checked_product(n, n);
  if (!size || covariance.size() != *size)
    return fail_input("invalid dimensions for linear uncertainty propagation");
  double largest = 1.0;
  for (const double value : covariance) largest = std::max(largest, std::fabs(value));
  const double tau = 1e-12 * largest;
  std::vector<double> factor(n * n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j <= i; ++j) {
      const double cij = covariance[i * n + j];
      if (std::fabs(cij - covariance[j * n + i]) > tau)
        return fail_input("parameter covariance must be symmetric");
      double u = cij;
      for (std::size_t k = 0; k < j; ++k) u -= factor[i * n + k] * factor[j * n + k];
      if (j < i) {
        const double pivot = factor[j * n + j];
        if (pivot > tau) {
          factor[i * n + j] = u / pivot;
        } else if (std::fabs(u) > tau) {
          return fail_input("parameter covariance must be positive semidefinite");
        }
      } else {
        if (u < -tau) return fail_input("parameter covariance must be positive semidefinite");
        factor[i * n + i] = std::sqrt(std::max(u, 0.0));
      }
    }
  }
  return factor;
}

FitResult<PropagatedUncertainty> propagate_linear_uncertainty(std::span<const double> jacobian, std::size_t m,
                                                              std::size_t n,
                                                              std::span<const double> covariance,
                                                              std::span<const double> state_variances,
                                                              bool full_covariance) {
  const auto jacobian_size = checked_product(m, n);
  const auto covariance_size = checked_product(n, n);
  if (m < 1 || !jacobian_size || !covariance_size || jacobian.size() != *jacobian_size ||
      covariance.size() != *covariance_size || state_variances.size() != m) {
    return fail_input("invalid dimensions for linear uncertainty propagation");
  }
  if (!all_finite(jacobian) || !all_finite(covariance) || !all_finite(state_variances)) {
    return fail_input("linear uncertainty inputs must be finite");
  }
  if (std::any_of(state_variances.begin(), state_variances.end(), [](double s) { return s < 0.0; })) {
    return fail_input("state variances must be nonnegative");
  }
  if (auto factor = positive_semidefinite_factor(covariance, n); !factor) {
    return std::unexpected(std::move(factor).error());
  }

  // B = J·C, then variance_i = max(Σ_j B_ij·J_ij + s_i, 0).
  std::vector<double> product(m * n, 0.0);
  for (std::size_t i = 0; i < m; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      double sum = 0.0;
      for (std::size_t k = 0; k < n; ++k) sum += jacobian[i * n + k] * covariance[k * n + j];
      product[i * n + j] = sum;
    }
  }
  PropagatedUncertainty result;
  result.variance.resize(m);
  for (std::size_t i = 0; i < m; ++i) {
    double sum = 0.0;
    for (std::size_t j = 0; j < n; ++j) sum += product[i * n + j] * jacobian[i * n + j];
    result.variance[i] = std::max(sum + state_variances[i], 0.0);
  }
  if (full_covariance) {
    const auto output_size = checked_product(m, m);
    if (!output_size) return fail_input("invalid dimensions for linear uncertainty propagation");
    std::vector<double> full(*output_size, 0.0);
    for (std::size_t a = 0; a < m; ++a) {
      for (std::size_t b = 0; b < m; ++b) {
        double sum = 0.0;
        for (std::size_t j = 0; j < n; ++j) sum += product[a * n + j] * jacobian[b * n + j];
        full[a * m + b] = sum;
      }
      full[a * m + a] += state_variances[a];
    }
    result.covariance = std::move(full);
  }
  return result;
}

FitResult<MonteCarloStatistics> summarize_monte_carlo(std::span<const double> samples, std::size_t rows,
                                                      std::size_t cols, bool full_covariance,
                                                      double confidence) {
  const auto size = checked_product(rows, cols);
  const bool valid = std::isfinite(confidence) && size && samples.size() == *size && cols >= 1 && rows >= 2 &&
                     confidence >= 0.0 && confidence < 1.0 && all_finite(samples);
  if (!valid) return fail_input("invalid Monte Carlo samples or confidence");

  MonteCarloStatistics result;
  std::vector<double> mean(cols);
  for (std::size_t c = 0; c < cols; ++c) {
    double sum = 0.0;
    for (std::size_t r = 0; r < rows; ++r) sum += samples[r * cols + c];
    mean[c] = sum / saturated_count(rows);
  }
  result.standard_error.resize(cols);
  for (std::size_t c = 0; c < cols; ++c) {
    double sum = 0.0;
    for (std::size_t r = 0; r < rows; ++r) {
      const double d = samples[r * cols + c] - mean[c];
      sum += d * d;
    }
    result.standard_error[c] = std::sqrt(sum / saturated_count(rows - 1));
  }

  const double tail = (1.0 - confidence) * 0.5;
  result.lower.resize(cols);
  result.upper.resize(cols);
  std::vector<double> column(rows);
  for (std::size_t c = 0; c < cols; ++c) {
    for (std::size_t r = 0; r < rows; ++r) column[r] = samples[r * cols + c];
    std::stable_sort(column.begin(), column.end(), total_order_less);
    result.lower[c] = interpolated_percentile(column, tail);
    result.upper[c] = interpolated_percentile(column, 1.0 - tail);
  }

  if (full_covariance) {
    const auto output_size = checked_product(cols, cols);
    if (!output_size) return fail_input("invalid Monte Carlo samples or confidence");
    std::vector<double> full(*output_size, 0.0);
    for (std::size_t a = 0; a < cols; ++a) {
      for (std::size_t b = 0; b <= a; ++b) {
        double sum = 0.0;
        for (std::size_t r = 0; r < rows; ++r) {
          sum += (samples[r * cols + a] - mean[a]) * (samples[r * cols + b] - mean[b]);
        }
        full[a * cols + b] = sum / saturated_count(rows - 1);
        full[b * cols + a] = full[a * cols + b];
      }
    }
    result.covariance = std::move(full);
  }
  return result;
}

}  // namespace nivaltus::fit
