#include "core/fit/singular_value_decomposition.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

#include "core/error.hpp"
#include "core/fit/givens.hpp"
#include "core/fit/householder.hpp"

namespace nivaltus::fit {
namespace {

// Upper bidiagonal B = Uᵀ·A·V: diagonal d (cols values), superdiagonal e
// (e_j = B_{j,j+1}, cols − 1 values), and Vᵀ, row-major.
struct Bidiagonal {
  std::vector<double> d;
  std::vector<double> e;
  std::vector<double> vt;
};

// Golub–Kahan reduction in place on a (rows×cols, rows ≥ cols): at step j a
// reflector from the left clears column j below the diagonal, one from the
// right clears row j beyond the superdiagonal. Each right reflector is kept
// in the part of row j it cleared, and V = P_0·P_1·…·P_{cols−3} is built
// from the last one back, so that P_j meets only the block j+1.. it acts on.
std::optional<Bidiagonal> bidiagonalize(std::vector<double>& a, std::size_t rows, std::size_t cols,
                                        StopRequest stop) {
  Bidiagonal b;
  b.d.assign(cols, 0.0);
  b.e.assign(cols - 1, 0.0);
  std::vector<double> betas(cols, 0.0);
  std::vector<double> column(rows);
  std::vector<double> w(cols);
  for (std::size_t j = 0; j < cols; ++j) {
    if (stop_requested(stop)) return std::nullopt;
    // From the left: w = vᵀ·A, A −= β·v·wᵀ over rows j.. and columns j+1..
    const std::size_t length = rows - j;
    for (std::size_t i = 0; i < length; ++i) column[i] = a[(j + i) * cols + j];
    const Reflector left = make_reflector(std::span(column).first(length));
    b.d[j] = left.alpha;
    if (left.beta != 0.0) {
      std::fill(w.begin() + static_cast<std::ptrdiff_t>(j) + 1, w.end(), 0.0);
      for (std::size_t i = 0; i < length; ++i) {
        const double* row = &a[(j + i) * cols];
        for (std::size_t q = j + 1; q < cols; ++q) w[q] += column[i] * row[q];
      }
      for (std::size_t i = 0; i < length; ++i) {
        double* row = &a[(j + i) * cols];
        const double f = left.beta * column[i];
        for (std::size_t q = j + 1; q < cols; ++q) row[q] -= f * w[q];
      }
    }
    if (j + 1 == cols) break;
    // From the right: s = A_i·u, A_i −= β·s·uᵀ over rows j+1.., columns j+1..
    double* u = &a[j * cols + j + 1];
    const std::size_t width = cols - j - 1;
    if (width == 1) {
      b.e[j] = u[0];
      continue;
    }
    const Reflector right = make_reflector(std::span(u, width));
    b.e[j] = right.alpha;
    betas[j] = right.beta;
    if (right.beta == 0.0) continue;
    for (std::size_t i = j + 1; i < rows; ++i) {
      double* row = &a[i * cols + j + 1];
      double s = 0.0;
      for (std::size_t q = 0; q < width; ++q) s += row[q] * u[q];
      const double f = right.beta * s;
      for (std::size_t q = 0; q < width; ++q) row[q] -= f * u[q];
    }
  }

  std::vector<double> v(cols * cols, 0.0);
  for (std::size_t i = 0; i < cols; ++i) v[i * cols + i] = 1.0;
  for (std::size_t j = cols >= 3 ? cols - 2 : 0; j-- > 0;) {
    if (betas[j] == 0.0) continue;
    const double* u = &a[j * cols + j + 1];
    const std::size_t width = cols - j - 1;
    std::fill(w.begin() + static_cast<std::ptrdiff_t>(j) + 1, w.end(), 0.0);
    for (std::size_t i = 0; i < width; ++i) {
      const double* row = &v[(j + 1 + i) * cols];
      for (std::size_t q = j + 1; q < cols; ++q) w[q] += u[i] * row[q];
    }
    for (std::size_t i = 0; i < width; ++i) {
      double* row = &v[(j + 1 + i) * cols];
      const double f = betas[j] * u[i];
      for (std::size_t q = j + 1; q < cols; ++q) row[q] -= f * w[q];
    }
  }
  b.vt.resize(cols * cols);
  for (std::size_t i = 0; i < cols; ++i) {
    for (std::size_t j = 0; j < cols; ++j) b.vt[j * cols + i] = v[i * cols + j];
  }
  return b;
}

// Columns i and j of V, that is rows i and j of Vᵀ, turned by g.
void rotate_vectors(std::vector<double>& vt, std::size_t cols, std::size_t i, std::size_t j, Givens g) {
  rotate(std::span(vt).subspan(i * cols, cols), std::span(vt).subspan(j * cols, cols), g);
}

// An entry counts as zero beside entries of size `beside` when it is within
// their rounding: setting it to zero perturbs B no more than the reduction
// has. The smallest normal double keeps a block of underflowed zeros from
// counting as a live one.
bool negligible(double value, double beside) {
  return std::fabs(value) <= std::numeric_limits<double>::min() + machine_epsilon * beside;
}

// d_i = 0 with i < hi: rotations from the left (on U, never formed) move
// e_i along row i into the diagonal below it, e_i = 0 at the end.
void clear_row(Bidiagonal& b, std::size_t i, std::size_t hi) {
  double f = b.e[i];
  b.e[i] = 0.0;
  for (std::size_t j = i + 1; j <= hi; ++j) {
    const Givens g = givens(b.d[j], f);
    b.d[j] = g.r;
    if (j < hi) {
      f = -g.s * b.e[j];
      b.e[j] = g.c * b.e[j];
    }
  }
}

// d_hi = 0: rotations from the right (on V) move e_{hi−1} up column hi into
// the diagonal before it, e_{hi−1} = 0 at the end.
void clear_column(Bidiagonal& b, std::size_t lo, std::size_t hi, std::size_t cols) {
  double f = b.e[hi - 1];
  b.e[hi - 1] = 0.0;
  for (std::size_t j = hi; j-- > lo;) {
    const Givens g = givens(b.d[j], f);
    b.d[j] = g.r;
    if (j > lo) {
      f = -g.s * b.e[j - 1];
      b.e[j - 1] = g.c * b.e[j - 1];
    }
    rotate_vectors(b.vt, cols, j, hi, g);
  }
}

// One implicit QR sweep over the block lo..hi, whose superdiagonal holds no
// negligible entry. Shift μ: the eigenvalue of the trailing 2×2 of B·Bᵀ
// nearer d_hi², from entries divided by the largest of them so that their
// squares stay in range. The first rotation is the one that would start the
// QR step of BᵀB − μ, (d_lo² − μ, d_lo·e_lo); the bulge it makes is chased
// down the band by alternate rotations from the right and from the left.
void qr_sweep(Bidiagonal& b, std::size_t lo, std::size_t hi, std::size_t cols) {
  std::vector<double>& d = b.d;
  std::vector<double>& e = b.e;
  const double scale = std::max(
      {std::fabs(d[hi]), std::fabs(d[hi - 1]), std::fabs(e[hi - 1]), std::fabs(d[lo]), std::fabs(e[lo])});
  const double d_hi = d[hi] / scale;
  const double d_before = d[hi - 1] / scale;
  const double e_before = e[hi - 1] / scale;
  const double d_lo = d[lo] / scale;
  const double e_lo = e[lo] / scale;
  const double half_gap = ((d_before + d_hi) * (d_before - d_hi) + e_before * e_before) / 2.0;
  const double coupling = (d_hi * e_before) * (d_hi * e_before);
  double shift = 0.0;  // d_hi² − μ
  if (half_gap != 0.0 || coupling != 0.0) {
    const double root = std::sqrt(half_gap * half_gap + coupling);
    shift = coupling / (half_gap + (half_gap < 0.0 ? -root : root));
  }
  double f = (d_lo + d_hi) * (d_lo - d_hi) + shift;
  double g = d_lo * e_lo;
  for (std::size_t j = lo; j < hi; ++j) {
    const Givens right = givens(f, g);
    if (j > lo) e[j - 1] = right.r;
    f = right.c * d[j] + right.s * e[j];
    e[j] = right.c * e[j] - right.s * d[j];
    g = right.s * d[j + 1];
    d[j + 1] = right.c * d[j + 1];
    rotate_vectors(b.vt, cols, j, j + 1, right);
    const Givens left = givens(f, g);
    d[j] = left.r;
    f = left.c * e[j] + left.s * d[j + 1];
    d[j + 1] = -left.s * e[j] + left.c * d[j + 1];
    if (j + 1 < hi) {
      g = left.s * e[j + 1];
      e[j + 1] = left.c * e[j + 1];
    }
  }
  e[hi - 1] = f;
}

// QR sweeps until the superdiagonal is negligible, from the bottom up: the
// trailing diagonal entry of the active range converges first and the range
// shrinks; a negligible diagonal entry inside it is first rotated out of its
// row or column. A value takes two or three sweeps; one that has not
// converged after sweep_limit is kept as reached, so that no input loops.
bool diagonalize(Bidiagonal& b, std::size_t cols, StopRequest stop) {
  constexpr std::size_t sweep_limit = 75;
  std::vector<double>& d = b.d;
  std::vector<double>& e = b.e;
  std::size_t hi = cols - 1;
  std::size_t sweeps = 0;
  while (hi > 0) {
    if (stop_requested(stop)) return false;
    std::size_t lo = hi;
    while (lo > 0 && !negligible(e[lo - 1], std::fabs(d[lo - 1]) + std::fabs(d[lo]))) --lo;
    if (lo > 0) e[lo - 1] = 0.0;
    if (lo == hi) {
      --hi;
      sweeps = 0;
      continue;
    }
    std::size_t zero = hi + 1;
    for (std::size_t i = hi + 1; i-- > lo;) {
      const double beside = (i > lo ? std::fabs(e[i - 1]) : 0.0) + (i < hi ? std::fabs(e[i]) : 0.0);
      if (negligible(d[i], beside)) {
        d[i] = 0.0;
        zero = i;
        break;
      }
    }
    if (zero == hi) {
      clear_column(b, lo, hi, cols);
    } else if (zero < hi) {
      clear_row(b, zero, hi);
    } else if (++sweeps > sweep_limit) {
      e[hi - 1] = 0.0;
    } else {
      qr_sweep(b, lo, hi, cols);
    }
  }
  for (std::size_t i = 0; i < cols; ++i) {
    if (d[i] >= 0.0) continue;
    d[i] = -d[i];
    for (std::size_t q = 0; q < cols; ++q) b.vt[i * cols + q] = -b.vt[i * cols + q];
  }
  return true;
}

}  // namespace

std::optional<RightSingularSystem> right_singular_system(std::vector<double> matrix, std::size_t rows,
                                                         std::size_t cols, StopRequest stop) {
  std::optional<Bidiagonal> b = bidiagonalize(matrix, rows, cols, stop);
  if (!b || !diagonalize(*b, cols, stop)) return std::nullopt;
  return RightSingularSystem{std::move(b->d), std::move(b->vt)};
}

}  // namespace nivaltus::fit
