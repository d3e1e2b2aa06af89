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
// position q·(rows − 1): v_i + (v_j − v_i)·(h − i).
double interpolated_percentile(std::span<const double> sorted, double q) {
  const std::size_t rows = sorted.size();
  const double h = q * saturated_count(rows - 1);
  const auto i = static_cast<std::size_t>(std::floor(h));
  const std::size_t j = std::min(i + 1, rows - 1);
  const double low = sorted[i];
  const double high = sorted[j];
  const double t = h - static_cast<double>(i);
  const double gap = high - low;
  // Order statistics of opposite sign near the largest double: their gap
  // overflows, the gap of their halves does not, and halving values this
  // large is exact.
  const double value = std::isfinite(gap) ? low + gap * t : 2.0 * (0.5 * low + (0.5 * high - 0.5 * low) * t);
  // The value never falls below v_i, but rounding may carry it past v_j; held
  // at v_j, the lower bound never exceeds the upper one.
  return std::min(value, high);
}

// The binary exponent e of a magnitude, magnitude = f·2^e with 0.5 ≤ f < 1
// (0 for zero), kept at −1021 or above so that 2^−e is a double.
int scale_exponent(double magnitude) {
  int exponent = 0;
  std::frexp(magnitude, &exponent);
  return std::max(exponent, -1021);
}

// B = J·C (m×n): B_ij = Σ_k J_ik·C_kj, summed over k in order.
std::vector<double> jacobian_times_covariance(std::span<const double> jacobian, std::size_t m, std::size_t n,
                                              std::span<const double> covariance) {
  std::vector<double> product(m * n, 0.0);
  for (std::size_t i = 0; i < m; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      double sum = 0.0;
      for (std::size_t k = 0; k < n; ++k) sum += jacobian[i * n + k] * covariance[k * n + j];
      product[i * n + j] = sum;
    }
  }
  return product;
}

// (J·C·Jᵀ)_ab = Σ_j B_aj·J_bj, summed over j in order.
double propagated_entry(std::span<const double> product, std::span<const double> jacobian, std::size_t n,
                        std::size_t a, std::size_t b) {
  double sum = 0.0;
  for (std::size_t j = 0; j < n; ++j) sum += product[a * n + j] * jacobian[b * n + j];
  return sum;
}

// The largest magnitude among the values (0 for none).
double largest_magnitude(std::span<const double> values) {
  double largest = 0.0;
  for (const double value : values) largest = std::max(largest, std::fabs(value));
  return largest;
}

// J·C·Jᵀ on operands scaled by powers of two: row i of J by 2^−e_i and C by
// 2^−e_C, so that every scaled value lies below 2^t with 3t + 2·log2(n) ≤
// 1020. A product J'·C'·J' is then below 2^3t and no sum of n² of them can
// overflow, while true entries far below the largest terms keep as much room
// above the smallest double as overflow allows. The scaled entry (a, b) is
// 2^−(e_a + e_b + e_C) times the true one; the scalings are exact, so only the
// overflow of the direct products is taken away, and an entry whose products
// overflow while the entry itself is moderate (cancellation in J·C) comes
// back finite.
class ScaledPropagation {
 public:
  ScaledPropagation(std::span<const double> jacobian, std::size_t m, std::size_t n,
                    std::span<const double> covariance)
      : n_(n), row_exponents_(m), jacobian_(jacobian.begin(), jacobian.end()) {
    const int top = (1020 - 2 * static_cast<int>(std::bit_width(n))) / 3;
    const auto exponent_below_top = [top](std::span<const double> values) {
      int exponent = 0;
      std::frexp(largest_magnitude(values), &exponent);
      return exponent - top;
    };
    covariance_exponent_ = exponent_below_top(covariance);
    std::vector<double> scaled_covariance(covariance.size());
    for (std::size_t k = 0; k < covariance.size(); ++k) {
      scaled_covariance[k] = std::ldexp(covariance[k], -covariance_exponent_);
    }
    for (std::size_t i = 0; i < m; ++i) {
      const auto row = std::span(jacobian_).subspan(i * n, n);
      row_exponents_[i] = exponent_below_top(row);
      for (double& value : row) value = std::ldexp(value, -row_exponents_[i]);
    }
    product_ = jacobian_times_covariance(jacobian_, m, n, scaled_covariance);
  }

  // Entry (a, b) of J·C·Jᵀ, ±inf when its magnitude exceeds the largest double.
  double entry(std::size_t a, std::size_t b) const {
    return std::ldexp(propagated_entry(product_, jacobian_, n_, a, b),
                      row_exponents_[a] + row_exponents_[b] + covariance_exponent_);
  }

 private:
  std::size_t n_;
  std::vector<int> row_exponents_;
  int covariance_exponent_ = 0;
  std::vector<double> jacobian_;
  std::vector<double> product_;
};

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

  const std::vector<double> product = jacobian_times_covariance(jacobian, m, n, covariance);
  std::vector<double> diagonal(m);  // (J·C·Jᵀ)_ii
  for (std::size_t i = 0; i < m; ++i) diagonal[i] = propagated_entry(product, jacobian, n, i, i);
  std::vector<double> full;
  if (full_covariance) {
    const auto output_size = checked_product(m, m);
    if (!output_size) return fail_input("invalid dimensions for linear uncertainty propagation");
    full.resize(*output_size);
    for (std::size_t a = 0; a < m; ++a) {
      for (std::size_t b = 0; b < m; ++b) full[a * m + b] = propagated_entry(product, jacobian, n, a, b);
    }
  }
  // A direct sum that overflowed is evaluated again on scaled operands; every
  // other entry keeps its bits.
  if (!all_finite(diagonal) || !all_finite(full)) {
    const ScaledPropagation scaled(jacobian, m, n, covariance);
    for (std::size_t i = 0; i < m; ++i) {
      if (!std::isfinite(diagonal[i])) diagonal[i] = scaled.entry(i, i);
    }
    for (std::size_t k = 0; k < full.size(); ++k) {
      if (!std::isfinite(full[k])) full[k] = scaled.entry(k / m, k % m);
    }
  }

  // variance_i = max((J·C·Jᵀ)_ii + s_i, 0): a true value above the largest
  // double cannot be returned, one below −s_i clamps to 0.
  PropagatedUncertainty result;
  result.variance.resize(m);
  for (std::size_t i = 0; i < m; ++i) {
    result.variance[i] = std::max(diagonal[i] + state_variances[i], 0.0);
    if (!std::isfinite(result.variance[i])) return fail_eos(EosError::non_finite_result());
  }
  if (full_covariance) {
    for (std::size_t a = 0; a < m; ++a) full[a * m + a] += state_variances[a];
    if (!all_finite(full)) return fail_eos(EosError::non_finite_result());
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

  // Column c is scaled by 2^−e_c, e_c the exponent of its largest magnitude,
  // so that its values lie below 1: the sum of a column, the deviations from
  // its mean and their products then cannot overflow, and the squared spread
  // of a column of tiny values does not sink below the smallest normal
  // double. The scaling is exact, so wherever the unscaled sums neither
  // overflow nor underflow the statistics keep every bit of them; they are
  // scaled back at the end.
  std::vector<int> exponent(cols);
  std::vector<double> factor(cols);  // 2^−e_c
  std::vector<double> mean(cols);    // of the scaled column
  for (std::size_t c = 0; c < cols; ++c) {
    double largest = 0.0;
    for (std::size_t r = 0; r < rows; ++r) largest = std::max(largest, std::fabs(samples[r * cols + c]));
    exponent[c] = scale_exponent(largest);
    factor[c] = std::ldexp(1.0, -exponent[c]);
    double sum = 0.0;
    for (std::size_t r = 0; r < rows; ++r) sum += samples[r * cols + c] * factor[c];
    mean[c] = sum / saturated_count(rows);
  }
  const auto deviation = [&](std::size_t r, std::size_t c) {
    return samples[r * cols + c] * factor[c] - mean[c];
  };

  MonteCarloStatistics result;
  result.standard_error.resize(cols);
  for (std::size_t c = 0; c < cols; ++c) {
    double sum = 0.0;
    for (std::size_t r = 0; r < rows; ++r) {
      const double d = deviation(r, c);
      sum += d * d;
    }
    // √(2^−2e·v) = 2^−e·√v exactly.
    result.standard_error[c] = std::ldexp(std::sqrt(sum / saturated_count(rows - 1)), exponent[c]);
  }
  if (!all_finite(result.standard_error)) return fail_eos(EosError::non_finite_result());

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
        for (std::size_t r = 0; r < rows; ++r) sum += deviation(r, a) * deviation(r, b);
        full[a * cols + b] = std::ldexp(sum / saturated_count(rows - 1), exponent[a] + exponent[b]);
        full[b * cols + a] = full[a * cols + b];
      }
    }
    if (!all_finite(full)) return fail_eos(EosError::non_finite_result());
    result.covariance = std::move(full);
  }
  return result;
}

}  // namespace nivaltus::fit
