#pragma once
// Weighted normal equations A = JᵀWJ, gradient G = JᵀWr, and the damped
// step (A + λ·diag(s))·δ = −G, dense or in the block form of a structured
// problem, where each point's latent block is eliminated onto the global
// parameters (a Schur complement), so time and memory grow linearly with the
// point count.

#include <cstddef>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "core/fit/fit_error.hpp"
#include "core/fit/solver_types.hpp"

namespace nivaltus::fit {

// A = JᵀWJ, n×n row-major, symmetric.
struct DenseNormalSystem {
  std::vector<double> matrix;
  std::size_t n = 0;
};

// Block form for layout (g, P, L):
//   global_block     A_gg, g×g row-major, symmetric;
//   coupling_blocks  C_p, g×L per point, element (a, l) of point p at (p·g + a)·L + l;
//   latent_blocks    B_p, L×L per point, symmetric, element (l, k) at (p·L + l)·L + k.
struct StructuredNormalSystem {
  std::vector<double> global_block;
  std::vector<double> coupling_blocks;
  std::vector<double> latent_blocks;
  std::size_t global_parameter_count = 0;
  std::size_t point_count = 0;
  std::size_t latent_coordinate_count = 0;
};

using NormalSystem = std::variant<DenseNormalSystem, StructuredNormalSystem>;

// The system and the gradient G = JᵀWr (n values, no sign change).
struct NormalEquations {
  NormalSystem system;
  std::vector<double> gradient;
};

// From an m×n row-major Jacobian; with a layout the structured form reads
// only the global columns and each row's own latent columns. The caller
// guarantees the sizes.
NormalEquations normal_equations_for_layout(std::span<const double> jacobian,
                                            std::span<const double> residuals,
                                            std::span<const double> weights, std::size_t m, std::size_t n,
                                            const std::optional<StructuredLayout>& layout);

// The same from a Jacobian in either form: a structured Jacobian gives the
// structured system, bit-identical to the one from its dense matrix.
NormalEquations normal_equations_for_layout(const Jacobian& jacobian, std::span<const double> residuals,
                                            std::span<const double> weights);

// Holds fixed every parameter on a bound that its descent direction −G
// points past (blocked_by_bound): its row and column of the system become
// those of the identity and its gradient component 0, in the dense and the
// block form alike, so every damped step leaves it exactly where it is and
// the free parameters take the step of the problem restricted to them.
// Without such a parameter nothing changes.
void hold_blocked_parameters(NormalEquations& normal, std::span<const double> x,
                             std::span<const double> lower, std::span<const double> upper);

// The damped step for λ: each solved diagonal d becomes d + λ·|d| (d + λ
// where d is zero or NaN), the right side is −G. The system is not changed.
// A failed solve (SingularSystem, InvalidInput) is returned at once.
FitResult<std::vector<double>> solve_normal_step(const NormalSystem& system, std::span<const double> gradient,
                                                 double lambda);

}  // namespace nivaltus::fit
