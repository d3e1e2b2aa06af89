#include "core/fit/normal_equations.hpp"

#include <algorithm>
#include <cmath>

#include "core/fit/linear_solve.hpp"
#include "core/fit/validation.hpp"

namespace nivaltus::fit {
namespace {

// d + λ·|d|, or d + λ where d is zero or NaN.
double damped(double d, double lambda) {
  const double s = (d != 0.0 && !std::isnan(d)) ? std::fabs(d) : 1.0;
  return d + lambda * s;
}

void damp_diagonal(std::span<double> a, std::size_t n, double lambda) {
  for (std::size_t i = 0; i < n; ++i) a[i * n + i] = damped(a[i * n + i], lambda);
}

NormalEquations dense_normal_equations(std::span<const double> jacobian, std::span<const double> residuals,
                                       std::span<const double> weights, std::size_t m, std::size_t n) {
  DenseNormalSystem system;
  system.n = n;
  system.matrix.assign(n * n, 0.0);
  std::vector<double> gradient(n, 0.0);
  for (std::size_t i = 0; i < m; ++i) {
    const double* row = jacobian.data() + i * n;
    for (std::size_t a = 0; a < n; ++a) {
      const double t = row[a] * weights[i];
      gradient[a] += residuals[i] * t;
      double* target = system.matrix.data() + a * n;
      for (std::size_t b = 0; b <= a; ++b) target[b] += row[b] * t;
    }
  }
  mirror_lower(system.matrix, n);
  return {std::move(system), std::move(gradient)};
}

// The structured system of layout (g, P, L) from the entries of row i:
// global(i, a) = J[i, a] and latent(i, p, b, l) = J[i, g + l·P + p], where
// i = b·P + p.
template <class Global, class Latent>
NormalEquations structured_normal_equations(Global global, Latent latent, std::span<const double> residuals,
                                            std::span<const double> weights, const StructuredLayout& layout) {
  const std::size_t g = layout.global_parameter_count;
  const std::size_t points = layout.point_count;
  const std::size_t latent_count = layout.latent_coordinate_count;
  StructuredNormalSystem system;
  system.global_parameter_count = g;
  system.point_count = points;
  system.latent_coordinate_count = latent_count;
  system.global_block.assign(g * g, 0.0);
  system.coupling_blocks.assign(points * g * latent_count, 0.0);
  system.latent_blocks.assign(points * latent_count * latent_count, 0.0);
  std::vector<double> gradient(g + latent_count * points, 0.0);

  for (std::size_t b = 0; b <= latent_count; ++b) {
    for (std::size_t p = 0; p < points; ++p) {
      const std::size_t i = b * points + p;
      const double w = weights[i];
      const double r = residuals[i];
      double* coupling = system.coupling_blocks.data() + p * g * latent_count;
      for (std::size_t a = 0; a < g; ++a) {
        const double t = global(i, a) * w;
        gradient[a] += r * t;
        for (std::size_t c = 0; c <= a; ++c) system.global_block[a * g + c] += global(i, c) * t;
        for (std::size_t l = 0; l < latent_count; ++l)
          coupling[a * latent_count + l] += latent(i, p, b, l) * t;
      }
      double* block = system.latent_blocks.data() + p * latent_count * latent_count;
      for (std::size_t l = 0; l < latent_count; ++l) {
        const double u = latent(i, p, b, l) * w;
        gradient[g + l * points + p] += r * u;
        for (std::size_t k = 0; k <= l; ++k) block[l * latent_count + k] += latent(i, p, b, k) * u;
      }
    }
  }
  mirror_lower(system.global_block, g);
  for (std::size_t p = 0; p < points; ++p) {
    mirror_lower(std::span<double>(system.latent_blocks)
                     .subspan(p * latent_count * latent_count, latent_count * latent_count),
                 latent_count);
  }
  return {std::move(system), std::move(gradient)};
}

// Row and column i of the n×n matrix a become those of the identity.
void isolate(std::span<double> a, std::size_t n, std::size_t i) {
  for (std::size_t k = 0; k < n; ++k) a[i * n + k] = a[k * n + i] = 0.0;
  a[i * n + i] = 1.0;
}

void hold_parameter(DenseNormalSystem& system, std::size_t i) { isolate(system.matrix, system.n, i); }

// Global parameter a: its row and column of A_gg and its row of every C_p.
// Latent coordinate l of point p: its row and column of B_p and its column
// of C_p.
void hold_parameter(StructuredNormalSystem& system, std::size_t i) {
  const std::size_t g = system.global_parameter_count;
  const std::size_t points = system.point_count;
  const std::size_t latent_count = system.latent_coordinate_count;
  if (i < g) {
    isolate(system.global_block, g, i);
    for (std::size_t p = 0; p < points; ++p) {
      double* coupling = system.coupling_blocks.data() + (p * g + i) * latent_count;
      std::fill(coupling, coupling + latent_count, 0.0);
    }
    return;
  }
  const std::size_t l = (i - g) / points;
  const std::size_t p = (i - g) % points;
  isolate(std::span<double>(system.latent_blocks)
              .subspan(p * latent_count * latent_count, latent_count * latent_count),
          latent_count, l);
  for (std::size_t a = 0; a < g; ++a) system.coupling_blocks[(p * g + a) * latent_count + l] = 0.0;
}

FitResult<std::vector<double>> dense_step(const DenseNormalSystem& system, std::span<const double> gradient,
                                          double lambda) {
  std::vector<double> matrix = system.matrix;
  damp_diagonal(matrix, system.n, lambda);
  std::vector<double> rhs(gradient.begin(), gradient.end());
  for (double& value : rhs) value = -value;
  return solve_scaled_linear_system(matrix, rhs, system.n);
}

// S = damped A_gg − Σ_p C_p·B_p⁻¹·C_pᵀ, solved for the global step; each
// point's latent step then follows from its own damped block B_p. The first
// pass solves B_p once for its g + 1 right sides: the point's gradient, then
// the g columns of C_pᵀ.
FitResult<std::vector<double>> structured_step(const StructuredNormalSystem& system,
                                               std::span<const double> gradient, double lambda) {
  const std::size_t g = system.global_parameter_count;
  const std::size_t points = system.point_count;
  const std::size_t latent_count = system.latent_coordinate_count;
  const std::size_t block_size = latent_count * latent_count;
  if (gradient.size() != g + latent_count * points) return fail_input("invalid normal equation dimensions");

  std::vector<double> schur = system.global_block;
  damp_diagonal(schur, g, lambda);
  std::vector<double> rhs(g);
  for (std::size_t a = 0; a < g; ++a) rhs[a] = -gradient[a];

  // Right side c of latent row l at l·sides + c.
  const std::size_t sides = g + 1;
  std::vector<double> block(block_size);
  std::vector<double> column(latent_count * sides);
  std::vector<double> solution(latent_count * sides);
  std::vector<double> work(block_size + latent_count + latent_count * sides);
  const auto damped_block = [&](std::size_t p) {
    const double* source = system.latent_blocks.data() + p * block_size;
    std::copy(source, source + block_size, block.begin());
    damp_diagonal(block, latent_count, lambda);
  };

  for (std::size_t p = 0; p < points; ++p) {
    damped_block(p);
    const double* coupling = system.coupling_blocks.data() + p * g * latent_count;
    for (std::size_t l = 0; l < latent_count; ++l) {
      column[l * sides] = gradient[g + l * points + p];
      for (std::size_t a = 0; a < g; ++a) column[l * sides + 1 + a] = coupling[a * latent_count + l];
    }
    if (auto solved = solve_scaled_linear_system_into(block, column, latent_count, sides, work, solution);
        !solved) {
      return std::unexpected(std::move(solved).error());
    }
    for (std::size_t a = 0; a < g; ++a) {
      double sum = 0.0;
      for (std::size_t l = 0; l < latent_count; ++l) {
        sum += coupling[a * latent_count + l] * solution[l * sides];
      }
      rhs[a] += sum;
    }
    for (std::size_t a = 0; a < g; ++a) {
      for (std::size_t c = 0; c < g; ++c) {
        double sum = 0.0;
        for (std::size_t l = 0; l < latent_count; ++l) {
          sum += coupling[c * latent_count + l] * solution[l * sides + 1 + a];
        }
        schur[c * g + a] -= sum;
      }
    }
  }

  auto global_step = solve_scaled_linear_system(schur, rhs, g);
  if (!global_step) return std::unexpected(std::move(global_step).error());
  std::vector<double> step(g + latent_count * points);
  for (std::size_t p = 0; p < points; ++p) {
    damped_block(p);
    const double* coupling = system.coupling_blocks.data() + p * g * latent_count;
    for (std::size_t l = 0; l < latent_count; ++l) {
      double sum = 0.0;
      for (std::size_t a = 0; a < g; ++a) sum += coupling[a * latent_count + l] * (*global_step)[a];
      column[l] = -gradient[g + l * points + p] - sum;
    }
    const std::span<const double> latent_side(column.data(), latent_count);
    if (auto solved = solve_scaled_linear_system_into(block, latent_side, latent_count, 1, work, solution);
        !solved) {
      return std::unexpected(std::move(solved).error());
    }
    for (std::size_t l = 0; l < latent_count; ++l) step[g + l * points + p] = solution[l];
  }
  std::copy(global_step->begin(), global_step->end(), step.begin());
  return step;
}

}  // namespace

NormalEquations normal_equations_for_layout(std::span<const double> jacobian,
                                            std::span<const double> residuals,
                                            std::span<const double> weights, std::size_t m, std::size_t n,
                                            const std::optional<StructuredLayout>& layout) {
  if (!layout) return dense_normal_equations(jacobian, residuals, weights, m, n);
  const std::size_t g = layout->global_parameter_count;
  const std::size_t points = layout->point_count;
  const auto global = [&](std::size_t i, std::size_t a) { return jacobian[i * n + a]; };
  const auto latent = [&](std::size_t i, std::size_t p, std::size_t, std::size_t l) {
    return jacobian[i * n + g + l * points + p];
  };
  return structured_normal_equations(global, latent, residuals, weights, *layout);
}

NormalEquations normal_equations_for_layout(const Jacobian& jacobian, std::span<const double> residuals,
                                            std::span<const double> weights) {
  if (!jacobian.is_structured()) {
    return dense_normal_equations(jacobian.values(), residuals, weights, jacobian.rows(), jacobian.cols());
  }
  const StructuredLayout& layout = *jacobian.layout();
  const auto global = [&](std::size_t i, std::size_t a) { return jacobian.global_entry(i, a); };
  const auto latent = [&](std::size_t, std::size_t p, std::size_t b, std::size_t l) {
    return jacobian.latent_entry(p, b, l);
  };
  return structured_normal_equations(global, latent, residuals, weights, layout);
}

void hold_blocked_parameters(NormalEquations& normal, std::span<const double> x,
                             std::span<const double> lower, std::span<const double> upper) {
  for (std::size_t i = 0; i < normal.gradient.size(); ++i) {
    if (!blocked_by_bound(normal.gradient[i], x[i], lower[i], upper[i])) continue;
    normal.gradient[i] = 0.0;
    std::visit([i](auto& system) { hold_parameter(system, i); }, normal.system);
  }
}

FitResult<std::vector<double>> solve_normal_step(const NormalSystem& system, std::span<const double> gradient,
                                                 double lambda) {
  if (const auto* dense = std::get_if<DenseNormalSystem>(&system))
    return dense_step(*dense, gradient, lambda);
  return structured_step(std::get<StructuredNormalSystem>(system), gradient, lambda);
}

}  // namespace nivaltus::fit
