#include "core/fit/linear_solve.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/fit/checked_size.hpp"

namespace nivaltus::fit {
namespace {

// values = n·n, the product checked without wrapping.
bool square_size_is(std::size_t values, std::size_t n) { return checked_product(n, n) == values; }

// Gaussian elimination with partial pivoting in place on a (n×n) and the r
// right sides b (n×r, row-major); the solutions go to x (n×r). The entries
// below the diagonal are left as they are: they move with their rows and
// count in the reference magnitude. Each right side sees the operations a
// lone right side would. Sides > 0 fixes r at compile time: a single right
// side then compiles to plain vector loops.
template <std::size_t Sides>
FitResult<void> eliminate(std::span<double> a, std::span<double> b, std::size_t n, std::size_t sides,
                          std::span<double> x) {
  const std::size_t r = Sides > 0 ? Sides : sides;
  const double t = saturated_count(n) * machine_epsilon;
  for (std::size_t k = 0; k < n; ++k) {
    std::size_t pivot = k;
    double pivot_size = std::fabs(a[k * n + k]);
    for (std::size_t row = k + 1; row < n; ++row) {
      const double size = std::fabs(a[row * n + k]);
      if (size > pivot_size) {
        pivot = row;
        pivot_size = size;
      }
    }
    double reference = 1.0;
    for (std::size_t i = 0; i < n * n; ++i) {
      const double size = std::fabs(a[i]);
      if (size > reference) reference = size;
    }
    // A NaN pivot is no more usable than a small one.
    if (!(pivot_size > reference * t)) return std::unexpected(FitError::singular_system());
    if (pivot != k) {
      for (std::size_t j = 0; j < n; ++j) std::swap(a[pivot * n + j], a[k * n + j]);
      for (std::size_t c = 0; c < r; ++c) std::swap(b[pivot * r + c], b[k * r + c]);
    }
    for (std::size_t i = k + 1; i < n; ++i) {
      const double f = a[i * n + k] / a[k * n + k];
      for (std::size_t j = k + 1; j < n; ++j) a[i * n + j] -= a[k * n + j] * f;
      for (std::size_t c = 0; c < r; ++c) b[i * r + c] -= f * b[k * r + c];
    }
  }
  for (std::size_t c = 0; c < r; ++c) {
    for (std::size_t i = n; i-- > 0;) {
      double value = b[i * r + c];
      for (std::size_t j = i + 1; j < n; ++j) value -= a[i * n + j] * x[j * r + c];
      x[i * r + c] = value / a[i * n + i];
    }
  }
  return {};
}

// Scaling, elimination and unscaling of solve_scaled_linear_system_into,
// sizes checked.
template <std::size_t Sides>
FitResult<void> solve_scaled(std::span<const double> matrix, std::span<const double> rhs, std::size_t n,
                             std::size_t sides, std::span<double> work, std::span<double> solution) {
  const std::size_t r = Sides > 0 ? Sides : sides;
  const std::span<double> scaled = work.subspan(0, n * n);
  const std::span<double> scale = work.subspan(n * n, n);
  const std::span<double> scaled_rhs = work.subspan(n * n + n, n * r);
  for (std::size_t i = 0; i < n; ++i) {
    const double d = matrix[i * n + i];
    scale[i] = (d != 0.0 && !std::isnan(d)) ? std::sqrt(std::fabs(d)) : 1.0;
  }
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) scaled[i * n + j] = matrix[i * n + j] / (scale[i] * scale[j]);
    for (std::size_t c = 0; c < r; ++c) scaled_rhs[i * r + c] = rhs[i * r + c] / scale[i];
  }
  if (auto solved = eliminate<Sides>(scaled, scaled_rhs, n, r, solution); !solved) return solved;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t c = 0; c < r; ++c) solution[i * r + c] /= scale[i];
  }
  return {};
}

}  // namespace

FitResult<void> solve_scaled_linear_system_into(std::span<const double> matrix, std::span<const double> rhs,
                                                std::size_t n, std::size_t r, std::span<double> work,
                                                std::span<double> solution) {
  if (checked_product(n, r) != rhs.size() || !square_size_is(matrix.size(), n)) {
    return fail_input("invalid scaled linear system dimensions");
  }
  return r == 1 ? solve_scaled<1>(matrix, rhs, n, r, work, solution)
                : solve_scaled<0>(matrix, rhs, n, r, work, solution);
}

FitResult<std::vector<double>> solve_scaled_linear_system(std::span<const double> matrix,
                                                          std::span<const double> rhs, std::size_t n) {
  if (rhs.size() != n || !square_size_is(matrix.size(), n)) {
    return fail_input("invalid scaled linear system dimensions");
  }
  std::vector<double> work(n * n + 2 * n);
  std::vector<double> solution(n);
  if (auto solved = solve_scaled_linear_system_into(matrix, rhs, n, 1, work, solution); !solved) {
    return std::unexpected(std::move(solved).error());
  }
  return solution;
}

FitResult<std::vector<double>> solve_linear_system(std::span<const double> matrix,
                                                   std::span<const double> rhs, std::size_t n) {
  if (rhs.size() != n || !square_size_is(matrix.size(), n))
    return fail_input("invalid linear system dimensions");
  std::vector<double> a(matrix.begin(), matrix.end());
  std::vector<double> b(rhs.begin(), rhs.end());
  std::vector<double> x(n);
  if (auto solved = eliminate<1>(a, b, n, 1, x); !solved) return std::unexpected(std::move(solved).error());
  return x;
}

}  // namespace nivaltus::fit
