#pragma once
// Entry of an EOS fit into the least-squares engine: k model parameters and,
// with L > 0 latent coordinates per point, the structured layout {k, n, L},
// so that the engine eliminates each point's latent block instead of solving
// a dense system of size k + n·L.

#include <cstddef>
#include <optional>
#include <span>
#include <utility>

#include "core/fit/checked_size.hpp"
#include "core/fit/eos/observation_checks.hpp"
#include "core/fit/fit_error.hpp"
#include "core/fit/least_squares.hpp"
#include "core/fit/solver_types.hpp"

namespace nivaltus::fit::eos {

// Fails with InvalidInput when k = 0 or x0 does not hold k + n·L values
// (counted without wrapping), or when L > 0 and n = 0.
template <ResidualFunction Residual>
FitResult<SolverResult> solve_native(Slice x0, Slice lower, Slice upper, const SolverOptions& options,
                                     std::size_t k, std::size_t n, std::size_t latent_count,
                                     Residual&& residual) {
  // k + n·L == size, tested as n·L == size - k with the product checked.
  const bool consistent = k != 0 && x0.size() >= k && checked_product(n, latent_count) == x0.size() - k;
  if (!consistent) return fail_input("EOS parameter and latent-coordinate dimensions are inconsistent");
  std::optional<StructuredLayout> layout;
  if (latent_count > 0) {
    if (n == 0) return fail_input("structured layout does not match the parameter vector");
    layout = StructuredLayout{k, n, latent_count};
  }
  return least_squares_internal(x0, lower, upper, options, layout, std::forward<Residual>(residual));
}

}  // namespace nivaltus::fit::eos
