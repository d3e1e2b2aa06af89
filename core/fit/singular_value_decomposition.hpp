#pragma once
// Singular values and right singular vectors of a dense matrix: Householder
// bidiagonalisation, then implicit-shift QR sweeps on the bidiagonal
// (Golub–Kahan). The left singular vectors are never formed: a covariance
// needs only A⁺·A⁺ᵀ = V·Σ⁻²·Vᵀ. The result is backward stable, each
// singular value within a small multiple of ε·σ_max, so that the
// pseudo-inverse keeps the digits that an eigen-decomposition of AᵀA, with
// its squared condition, would lose.

#include <cstddef>
#include <optional>
#include <vector>

#include "core/fit/stop_request.hpp"

namespace nivaltus::fit {

struct RightSingularSystem {
  std::vector<double> values;   // σ_i ≥ 0, cols of them, in no particular order
  std::vector<double> vectors;  // cols×cols row-major: row i is v_i, ‖A·v_i‖ = σ_i
};

// A: rows×cols row-major with rows ≥ cols ≥ 1 and finite entries, taken over
// as working storage. stop is asked once per reduction step and QR sweep;
// nullopt when it returned true.
std::optional<RightSingularSystem> right_singular_system(std::vector<double> matrix, std::size_t rows,
                                                         std::size_t cols, StopRequest stop);

}  // namespace nivaltus::fit
