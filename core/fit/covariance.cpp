#include "core/fit/covariance.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/fit/checked_size.hpp"
#include "core/fit/givens.hpp"
#include "core/fit/linear_solve.hpp"
#include "core/fit/singular_value_decomposition.hpp"

namespace nivaltus::fit {
namespace {

// Buffers of one n×n pseudo-inverse, reused across the many small latent
// blocks of a structured covariance.
struct PseudoinverseWork {
  std::vector<double> a;
  std::vector<double> v;
  std::vector<double> d;
  std::vector<double> result;

  void resize(std::size_t n) {
    a.resize(n * n);
    v.resize(n * n);
    d.resize(n);
    result.resize(n * n);
  }
};

// Pseudo-inverse of the finite symmetric n×n matrix into work.result.
//   A' = D·sym(A)·D, D = diag(1/√a_ii) (1 where a_ii ≤ 0);
//   Jacobi rotations on A' until every |a'_pq| ≤ τ = sat(n)·ε·max|a'_ij| (at
//   most 64·n² rotations), eigenvalues λ_i = a'_ii with eigenvectors V;
//   A'⁺ = Σ_{λ_i > δ} V_i·V_iᵀ/λ_i, δ = sat(c)·ε·max|λ_i|, any λ_i < −δ refused;
//   A⁺ = D·A'⁺·D.
// Equilibrating first keeps a well-determined direction of a parameter with
// large units above the cut-off that the others' scale would set.
FitResult<void> pseudoinverse_into(std::span<const double> matrix, std::size_t n, std::size_t tolerance_count,
                                   PseudoinverseWork& work) {
  // The latent blocks and the Schur complement of a structured covariance
  // come here without passing symmetric_pseudoinverse: a non-finite entry is
  // refused the same way for them.
  if (!std::ranges::all_of(matrix, is_finite)) {
    return fail_input("invalid symmetric matrix for pseudoinverse");
  }
  work.resize(n);
  std::vector<double>& a = work.a;
  std::vector<double>& v = work.v;
  std::vector<double>& d = work.d;
  std::copy(matrix.begin(), matrix.end(), a.begin());
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      const double mean = (a[i * n + j] + a[j * n + i]) * 0.5;
      a[i * n + j] = mean;
      a[j * n + i] = mean;
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    const double diagonal = a[i * n + i];
    d[i] = diagonal > 0.0 ? 1.0 / std::sqrt(diagonal) : 1.0;
  }
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      a[i * n + j] = a[i * n + j] * d[i] * d[j];
      // |a_ij| > √(a_ii·a_jj) overflows here only for an indefinite matrix.
      if (!std::isfinite(a[i * n + j])) return fail_input("information matrix must be positive semidefinite");
    }
  }

  std::fill(v.begin(), v.end(), 0.0);
  for (std::size_t i = 0; i < n; ++i) v[i * n + i] = 1.0;
  double largest = 0.0;
  for (std::size_t i = 0; i < n * n; ++i) largest = std::max(largest, std::fabs(a[i]));
  const double tau = saturated_count(n) * machine_epsilon * largest;
  const std::size_t rotation_limit = checked_product(64, checked_product(n, n).value_or(0))
                                         .value_or(std::numeric_limits<std::size_t>::max());
  for (std::size_t rotation = 0; rotation < rotation_limit; ++rotation) {
    std::size_t p = 0;
    std::size_t q = 0;
    double off = -1.0;
    for (std::size_t r = 0; r < n; ++r) {
      for (std::size_t s = r + 1; s < n; ++s) {
        const double size = std::fabs(a[r * n + s]);
        if (size > off) {
          off = size;
          p = r;
          q = s;
        }
      }
    }
    if (off <= tau) break;
    const double apq = a[p * n + q];
    const double theta = (a[q * n + q] - a[p * n + p]) / (2.0 * apq);
    const double root = std::sqrt(theta * theta + 1.0);
    const double t = theta >= 0.0 ? 1.0 / (theta + root) : -1.0 / (root - theta);
    const double c = 1.0 / std::sqrt(t * t + 1.0);
    const double s = t * c;
    for (std::size_t k = 0; k < n; ++k) {
      if (k == p || k == q) continue;
      const double akp = a[k * n + p];
      const double akq = a[k * n + q];
      a[k * n + p] = c * akp - s * akq;
      a[k * n + q] = c * akq + s * akp;
      a[p * n + k] = a[k * n + p];
      a[q * n + k] = a[k * n + q];
    }
    a[p * n + p] = a[p * n + p] - t * apq;
    a[q * n + q] = a[q * n + q] + t * apq;
    a[p * n + q] = 0.0;
    a[q * n + p] = 0.0;
    for (std::size_t k = 0; k < n; ++k) {
      const double vkp = v[k * n + p];
      const double vkq = v[k * n + q];
      v[k * n + p] = c * vkp - s * vkq;
      v[k * n + q] = s * vkp + c * vkq;
    }
  }

  double largest_eigenvalue = 0.0;
  for (std::size_t i = 0; i < n; ++i)
    largest_eigenvalue = std::max(largest_eigenvalue, std::fabs(a[i * n + i]));
  const double delta = saturated_count(tolerance_count) * machine_epsilon * largest_eigenvalue;
  std::vector<double>& result = work.result;
  std::fill(result.begin(), result.end(), 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    const double eigenvalue = a[i * n + i];
    if (eigenvalue < -delta) return fail_input("information matrix must be positive semidefinite");
    if (!(eigenvalue > delta)) continue;
    for (std::size_t r = 0; r < n; ++r) {
      for (std::size_t s = 0; s < n; ++s) result[r * n + s] += v[r * n + i] * v[s * n + i] / eigenvalue;
    }
  }
  for (std::size_t r = 0; r < n; ++r) {
    for (std::size_t s = 0; s < n; ++s) result[r * n + s] = result[r * n + s] * d[r] * d[s];
  }
  return {};
}

FitResult<std::vector<double>> pseudoinverse(std::span<const double> matrix, std::size_t n,
                                             std::size_t tolerance_count) {
  PseudoinverseWork work;
  if (auto done = pseudoinverse_into(matrix, n, tolerance_count, work); !done) {
    return std::unexpected(std::move(done).error());
  }
  return std::move(work.result);
}

// The covariance of the global parameters of layout (g, P, L) from the
// entries global(i, a) = J[i, a] and latent(i, p, b, l) = J[i, g + l·P + p],
// i = b·P + p.
template <class Global, class Latent>
FitResult<std::vector<double>> structured_covariance(Global global, Latent latent,
                                                     const StructuredLayout& layout,
                                                     const LayoutSizes& sizes) {
  const std::size_t g = layout.global_parameter_count;
  const std::size_t points = layout.point_count;
  const std::size_t latent_count = layout.latent_coordinate_count;
  const std::size_t m = sizes.residual_count;
  std::vector<double> schur(g * g, 0.0);
  for (std::size_t i = 0; i < m; ++i) {
    for (std::size_t a = 0; a < g; ++a) {
      const double ja = global(i, a);
      for (std::size_t c = 0; c <= a; ++c) schur[a * g + c] += ja * global(i, c);
    }
  }
  mirror_lower(schur, g);

  std::vector<double> block(latent_count * latent_count);
  std::vector<double> coupling(latent_count * g);
  PseudoinverseWork work;
  for (std::size_t p = 0; p < points; ++p) {
    std::fill(block.begin(), block.end(), 0.0);
    std::fill(coupling.begin(), coupling.end(), 0.0);
    for (std::size_t b = 0; b <= latent_count; ++b) {
      const std::size_t i = b * points + p;
      for (std::size_t l = 0; l < latent_count; ++l) {
        const double jl = latent(i, p, b, l);
        for (std::size_t k = 0; k < latent_count; ++k) block[l * latent_count + k] += jl * latent(i, p, b, k);
        for (std::size_t a = 0; a < g; ++a) coupling[l * g + a] += jl * global(i, a);
      }
    }
    if (auto done = pseudoinverse_into(block, latent_count, latent_count + 1, work); !done) {
      return std::unexpected(std::move(done).error());
    }
    const std::vector<double>& inverse = work.result;
    for (std::size_t a = 0; a < g; ++a) {
      for (std::size_t c = 0; c < g; ++c) {
        double sum = 0.0;
        for (std::size_t l = 0; l < latent_count; ++l) {
          for (std::size_t k = 0; k < latent_count; ++k) {
            sum += coupling[l * g + a] * inverse[l * latent_count + k] * coupling[k * g + c];
          }
        }
        schur[a * g + c] -= sum;
      }
    }
  }
  return pseudoinverse(schur, g, std::max(m, sizes.parameter_count));
}

// Covariance of the leading k of n parameters from the m×n Jacobian J, by a
// singular value decomposition of the Jacobian itself: the condition that
// decides which digits survive is that of J, not its square as in JᵀJ.
//   Ĵ = J·D, D = diag(1/‖J_j‖) (1 for a zero column), the n − k trailing
//     columns first: Ĵ = [Ĵ_t Ĵ_k];
//   Ĵ = Q·R, R = [R_tt R_tk; 0 R_kk], by rotating the rows of Ĵ into R one
//     after another (J is read once, in its own row order, and nothing of
//     size m·n is formed);
//   S = R_kkᵀ·R_kk = Ĵ_kᵀĴ_k − Ĵ_kᵀĴ_t·(Ĵ_tᵀĴ_t)⁻¹·Ĵ_tᵀĴ_k, the information of the
//     leading parameters with the trailing ones profiled out;
//   B = R_kk·F⁻¹, F = diag(√S_jj), its zero columns left out;
//   B = U·Σ·Vᵀ and S⁺ = F⁻¹·V·Σ⁻²·Vᵀ·F⁻¹ over the σ_i > sat(max(m, n))·ε·σ_max;
//   C = D_k·S⁺·D_k.
// The trailing block is singular when a trailing column of Ĵ lies within
// sat(max(m, n))·ε of its unit length of the span of the trailing columns
// before it (|r_jj| at most that), as a zero column does. A zero column of
// B, a leading parameter that the data do not touch, gets an exactly zero
// row and column. nullopt when stop returned true.
std::optional<FitResult<std::vector<double>>> dense_covariance(std::span<const double> jacobian,
                                                               std::size_t m, std::size_t n, std::size_t k,
                                                               StopRequest stop) {
  const auto values = checked_product(m, n);
  if (!values || jacobian.size() != *values || m < 1 || k < 1 || k > n) {
    return fail_input("invalid Jacobian dimensions for covariance");
  }
  // ‖J_j‖² are the diagonal of JᵀJ; one that is not finite leaves the
  // information matrix without meaning.
  std::vector<double> scale(n, 0.0);
  for (std::size_t i = 0; i < m; ++i) {
    const double* row = jacobian.data() + i * n;
    for (std::size_t a = 0; a < n; ++a) scale[a] += row[a] * row[a];
  }
  if (!std::ranges::all_of(scale, is_finite)) return fail_input("invalid symmetric matrix for pseudoinverse");
  for (double& d : scale) d = d > 0.0 ? 1.0 / std::sqrt(d) : 1.0;

  const std::size_t trailing = n - k;
  const auto slot = [&](std::size_t column) { return column < k ? trailing + column : column - k; };
  std::vector<double> r(n * n, 0.0);
  std::vector<double> x(n);
  // About 2^16 operations between two questions to stop.
  const std::size_t rows_per_question = n > 256 ? 1 : 65536 / (n * n);
  for (std::size_t i = 0; i < m; ++i) {
    if (i % rows_per_question == 0 && stop_requested(stop)) return std::nullopt;
    const double* row = jacobian.data() + i * n;
    for (std::size_t a = 0; a < n; ++a) x[slot(a)] = row[a] * scale[a];
    // x enters R: rotation j, in the plane of R_j and x, clears x_j.
    for (std::size_t j = 0; j < n; ++j) {
      if (x[j] == 0.0) continue;
      const Givens g = givens(r[j * n + j], x[j]);
      r[j * n + j] = g.r;
      rotate(std::span(r).subspan(j * n + j + 1, n - j - 1), std::span(x).subspan(j + 1), g);
    }
  }
  const std::size_t tolerance_count = std::max(m, n);
  const double tolerance = saturated_count(tolerance_count) * machine_epsilon;
  for (std::size_t j = 0; j < trailing; ++j) {
    if (!(std::fabs(r[j * n + j]) > tolerance)) return std::unexpected(FitError::singular_system());
  }

  // F and the columns of R_kk that are not zero.
  std::vector<std::size_t> kept;
  std::vector<double> spread(k, 0.0);
  for (std::size_t a = 0; a < k; ++a) {
    double sum = 0.0;
    for (std::size_t row = 0; row <= a; ++row) {
      const double entry = r[(trailing + row) * n + trailing + a];
      sum += entry * entry;
    }
    if (sum == 0.0) continue;
    spread[a] = std::sqrt(sum);
    kept.push_back(a);
  }
  std::vector<double> covariance(k * k, 0.0);
  const std::size_t cols = kept.size();
  if (cols == 0) return covariance;
  // All k rows of R_kk: a zero column leaves its row of R empty, so the
  // rows that hold the data need not be the first min(m, n) − (n − k).
  std::vector<double> profiled(k * cols, 0.0);
  for (std::size_t row = 0; row < k; ++row) {
    for (std::size_t c = 0; c < cols; ++c) {
      const std::size_t a = kept[c];
      if (row <= a) profiled[row * cols + c] = r[(trailing + row) * n + trailing + a] / spread[a];
    }
  }
  std::optional<RightSingularSystem> svd = right_singular_system(std::move(profiled), k, cols, stop);
  if (!svd) return std::nullopt;

  // V·Σ⁻²·Vᵀ = Σ_i y_i·y_iᵀ, y_i = v_i/σ_i, lower triangle then mirrored.
  const double largest = *std::ranges::max_element(svd->values);
  const double cutoff = tolerance * largest;
  std::vector<double> inverse(cols * cols, 0.0);
  std::vector<double> y(cols);
  for (std::size_t i = 0; i < cols; ++i) {
    const double sigma = svd->values[i];
    if (!(sigma > cutoff)) continue;
    if (stop_requested(stop)) return std::nullopt;
    for (std::size_t c = 0; c < cols; ++c) y[c] = svd->vectors[i * cols + c] / sigma;
    for (std::size_t c = 0; c < cols; ++c) {
      for (std::size_t e = 0; e <= c; ++e) inverse[c * cols + e] += y[c] * y[e];
    }
  }
  mirror_lower(inverse, cols);
  // D_k·F⁻¹ in one factor per kept column.
  std::vector<double> unscale(cols);
  for (std::size_t c = 0; c < cols; ++c) unscale[c] = scale[kept[c]] / spread[kept[c]];
  for (std::size_t c = 0; c < cols; ++c) {
    for (std::size_t e = 0; e < cols; ++e) {
      covariance[kept[c] * k + kept[e]] = inverse[c * cols + e] * unscale[c] * unscale[e];
    }
  }
  return covariance;
}

std::optional<LayoutSizes> covariance_layout(const StructuredLayout& layout) {
  if (layout.global_parameter_count == 0 || layout.point_count == 0 || layout.latent_coordinate_count == 0) {
    return std::nullopt;
  }
  return layout_sizes(layout);
}

}  // namespace

FitResult<std::vector<double>> symmetric_pseudoinverse(std::span<const double> matrix, std::size_t n,
                                                       std::size_t tolerance_count) {
  const auto values = checked_product(n, n);
  if (n < 1 || !values || matrix.size() != *values) {
    return fail_input("invalid symmetric matrix for pseudoinverse");
  }
  return pseudoinverse(matrix, n, tolerance_count);
}

FitResult<std::vector<double>> parameter_covariance(std::span<const double> jacobian, std::size_t m,
                                                    std::size_t n, std::size_t k) {
  return *dense_covariance(jacobian, m, n, k, nullptr);
}

FitResult<std::vector<double>> parameter_covariance_structured(std::span<const double> jacobian,
                                                               const StructuredLayout& layout) {
  const auto sizes = covariance_layout(layout);
  const auto values = sizes ? checked_product(sizes->residual_count, sizes->parameter_count) : std::nullopt;
  if (!values || jacobian.size() != *values) {
    return fail_input("invalid structured Jacobian dimensions for covariance");
  }
  const std::size_t n = sizes->parameter_count;
  const std::size_t g = layout.global_parameter_count;
  const std::size_t points = layout.point_count;
  const auto global = [&](std::size_t i, std::size_t a) { return jacobian[i * n + a]; };
  const auto latent = [&](std::size_t i, std::size_t p, std::size_t, std::size_t l) {
    return jacobian[i * n + g + l * points + p];
  };
  return structured_covariance(global, latent, layout, *sizes);
}

FitResult<std::vector<double>> parameter_covariance_structured(const Jacobian& jacobian,
                                                               const StructuredLayout& layout) {
  if (!jacobian.is_structured()) return parameter_covariance_structured(jacobian.values(), layout);
  if (*jacobian.layout() != layout) return parameter_covariance_structured(jacobian.to_dense(), layout);
  const auto sizes = covariance_layout(layout);
  if (!sizes) return fail_input("invalid structured Jacobian dimensions for covariance");
  const auto global = [&](std::size_t i, std::size_t a) { return jacobian.global_entry(i, a); };
  const auto latent = [&](std::size_t, std::size_t p, std::size_t b, std::size_t l) {
    return jacobian.latent_entry(p, b, l);
  };
  return structured_covariance(global, latent, layout, *sizes);
}

FitResult<std::vector<double>> parameter_covariance(const Jacobian& jacobian, std::size_t k) {
  return *parameter_covariance(jacobian, k, nullptr);
}

std::optional<FitResult<std::vector<double>>> parameter_covariance(const Jacobian& jacobian, std::size_t k,
                                                                   StopRequest stop) {
  if (!jacobian.is_structured()) {
    return dense_covariance(jacobian.values(), jacobian.rows(), jacobian.cols(), k, stop);
  }
  return dense_covariance(jacobian.to_dense(), jacobian.rows(), jacobian.cols(), k, stop);
}

}  // namespace nivaltus::fit
