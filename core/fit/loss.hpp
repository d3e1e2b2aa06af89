#pragma once
// Robust losses of the least-squares cost. For a residual r and the scale C
// (f_scale) the loss argument is z = r·r / C², C² = C·C formed once per call,
// and the cost is F = ½·C²·Σ ρ(z_i):
//   Linear   ρ = z                 ρ' = 1            ρ'' = 0
//   SoftL1   ρ = 2(√(1+z) − 1)     ρ' = 1/√(1+z)     ρ'' = −0.5/(1+z)^1.5
//   Huber    z ≤ 1: as Linear;  z > 1: ρ = 2√z − 1, ρ' = 1/√z, ρ'' = −0.5/z^1.5
//   Cauchy   ρ = log1p(z)          ρ' = 1/(1+z)      ρ'' = −1/(1+z)²
//   Arctan   ρ = atan(z)           ρ' = 1/(1+z²)     ρ'' = −2z/(1+z²)²
// Weights of the normal equations are w = max(ρ', ε); the reported Jacobian
// has its rows scaled by √max(ρ' + 2zρ'', ε), ε = 2^-52 (machine_epsilon). A NaN under the
// floor gives the floor.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "core/fit/fit_error.hpp"

namespace nivaltus::fit {

class Loss {
 public:
  enum Kind : std::uint8_t { Linear = 0, SoftL1 = 1, Huber = 2, Cauchy = 3, Arctan = 4 };

  constexpr Loss() = default;
  constexpr Loss(Kind kind) : kind_(kind) {}

  // Exact, case-sensitive match of one of "linear", "soft_l1", "huber",
  // "cauchy", "arctan"; else InvalidInput "unsupported loss function: {}".
  static FitResult<Loss> from_name(std::string_view name);

  constexpr Kind kind() const { return kind_; }
  // The name that from_name accepts for this kind.
  std::string_view name() const;

  friend constexpr bool operator==(Loss, Loss) = default;

 private:
  Kind kind_ = Linear;
};

// F = ½·C²·Σ ρ(z_i), the sum in index order from −0.0, the factor C²·0.5
// formed first.
double robust_cost(std::span<const double> residuals, Loss loss, double f_scale);

// w_i = max(ρ'(z_i), ε), one per residual.
std::vector<double> robust_weights(std::span<const double> residuals, Loss loss, double f_scale);

// The row factor s_i = √max(ρ'(z_i) + 2·z_i·ρ''(z_i), ε) of every residual.
std::vector<double> robust_row_factors(std::span<const double> residuals, Loss loss, double f_scale);

// Row i of the m×n row-major Jacobian (m = residual count) multiplied by s_i.
// With n = 0 the vector is returned unchanged.
std::vector<double> robust_result_jacobian(std::vector<double> jacobian, std::span<const double> residuals,
                                           std::size_t n, Loss loss, double f_scale);

}  // namespace nivaltus::fit
