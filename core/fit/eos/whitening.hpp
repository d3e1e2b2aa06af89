#pragma once
// Whitening of residuals with correlated errors. A point's error covariance
// is Σ = L Lᵀ (L lower triangular, d x d); its whitened residual z solves
// L z = r, so that zᵀz = rᵀ Σ⁻¹ r.

#include <cstddef>
#include <span>

#include "core/fit/eos/observation_checks.hpp"

namespace nivaltus::fit::eos {

// residuals: n·d values, component-major (component j of point i at j·n + i),
// whitened in place by forward substitution,
//   z_j = (r_j - Σ_{c<j} L[j][c] z_c) / L[j][j],  j ascending,
// with L the row-major d x d block of point i in `factors` (n·d·d values,
// already validated).
void whiten_correlated(std::span<double> residuals, std::size_t d, Slice factors, std::size_t n);

}  // namespace nivaltus::fit::eos
