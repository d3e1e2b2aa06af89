#pragma once
// The dense linear solver of the fitting engine: symmetric equilibration by
// the square roots of the diagonal, Gaussian elimination with partial
// pivoting and a relative singularity test, and unscaling. Also the fill of
// a symmetric matrix summed on and below its diagonal.

#include <cstddef>
#include <span>
#include <vector>

#include "core/fit/fit_error.hpp"

namespace nivaltus::fit {

// a_ji = a_ij for j < i: the n×n row-major matrix made symmetric from its
// lower triangle.
inline void mirror_lower(std::span<double> a, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < i; ++j) a[j * n + i] = a[i * n + j];
  }
}

// Solves A·x = b for the n×n row-major A. Scale s_i = √|A_ii| (1 where A_ii
// is zero or NaN), Â_ij = A_ij / (s_i·s_j), b̂_i = b_i / s_i, then
// solve_linear_system on the scaled copies and x_i / s_i.
// InvalidInput "invalid scaled linear system dimensions" on wrong sizes,
// SingularSystem on a small pivot.
FitResult<std::vector<double>> solve_scaled_linear_system(std::span<const double> matrix,
                                                          std::span<const double> rhs, std::size_t n);

// Gaussian elimination with partial pivoting on copies of A and b. At column
// k the pivot |Â_pk| must exceed M·t, M = max(1, largest |entry| of the
// working matrix), t = min(n, 2^32 − 1)·ε; else SingularSystem.
// InvalidInput "invalid linear system dimensions" on wrong sizes.
FitResult<std::vector<double>> solve_linear_system(std::span<const double> matrix,
                                                   std::span<const double> rhs, std::size_t n);

// The allocation-free core of solve_scaled_linear_system for callers that
// solve many small systems, for r right sides at once: rhs and solution
// hold n×r values, row-major (right side c of row i at i·r + c), work
// n·n + n + n·r values; matrix and rhs are only read. One elimination
// serves every right side, and each solution has the bits that
// solve_scaled_linear_system gives for its right side alone.
FitResult<void> solve_scaled_linear_system_into(std::span<const double> matrix, std::span<const double> rhs,
                                                std::size_t n, std::size_t r, std::span<double> work,
                                                std::span<double> solution);

}  // namespace nivaltus::fit
