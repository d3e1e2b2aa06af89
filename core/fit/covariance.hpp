#pragma once
// Parameter covariance: the pseudo-inverse of the information matrix JᵀJ of
// the reported Jacobian, the trailing or latent parameters profiled out by a
// Schur complement. The pseudo-inverse is taken on the equilibrated matrix
// D·A·D, D = diag(1/√a_ii) (1 where a_ii ≤ 0), and scaled back, so that
// parameters of very different units keep their variances. A dense Jacobian
// is decomposed itself (its singular values, not the eigenvalues of JᵀJ),
// so that its condition, not the square of it, decides the digits kept.

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "core/fit/fit_error.hpp"
#include "core/fit/solver_types.hpp"
#include "core/fit/stop_request.hpp"

namespace nivaltus::fit {

// Symmetric pseudo-inverse of the n×n row-major matrix by Jacobi rotations
// on D·A·D: eigenvalues with |λ| ≤ sat(c)·ε·max|λ| are dropped, one below
// that by more is refused. InvalidInput "invalid symmetric matrix for
// pseudoinverse" (n = 0, wrong size, non-finite value) or "information
// matrix must be positive semidefinite".
FitResult<std::vector<double>> symmetric_pseudoinverse(std::span<const double> matrix, std::size_t n,
                                                       std::size_t tolerance_count);

// k×k covariance of the leading k of n parameters from an m×n row-major
// Jacobian J: D_k·S⁺·D_k with Ĵ = J·D equilibrated as above and S the
// information Ĵ_kᵀĴ_k with the trailing n − k parameters profiled out; S⁺
// drops the directions whose singular value (of the square root of S) is at
// most sat(max(m, n))·ε times the largest. A trailing block that is singular
// to working precision fails with SingularSystem; InvalidInput "invalid
// Jacobian dimensions for covariance" on sizes, "invalid symmetric matrix for
// pseudoinverse" when JᵀJ would not be finite.
FitResult<std::vector<double>> parameter_covariance(std::span<const double> jacobian, std::size_t m,
                                                    std::size_t n, std::size_t k);

// g×g covariance of the global parameters of a structured problem from its
// m×n row-major Jacobian, each point's latent block pseudo-inverted.
// InvalidInput "invalid structured Jacobian dimensions for covariance".
FitResult<std::vector<double>> parameter_covariance_structured(std::span<const double> jacobian,
                                                               const StructuredLayout& layout);

// The same from a Jacobian in either form: a structured Jacobian is read in
// block form (time and memory linear in the point count), a dense one with
// a layout as its m×n matrix. Results equal those of the matrix form.
FitResult<std::vector<double>> parameter_covariance_structured(const Jacobian& jacobian,
                                                               const StructuredLayout& layout);
FitResult<std::vector<double>> parameter_covariance(const Jacobian& jacobian, std::size_t k);

// parameter_covariance asking stop, between steps of at most O(n²)
// operations (a few milliseconds for a thousand parameters), whether to give
// up; nullopt when it returned true.
std::optional<FitResult<std::vector<double>>> parameter_covariance(const Jacobian& jacobian, std::size_t k,
                                                                   StopRequest stop);

}  // namespace nivaltus::fit
