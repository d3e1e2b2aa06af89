#pragma once
// The optimizer's parameter vector of an EOS fit: the k model parameters,
// then one block of n latent coordinates per uncertain observed variable
// (latent kind l of point i at k + l·n + i; volumes before temperatures), with
// their bounds. Latent coordinates start at the observed values and are kept
// strictly positive and unbounded above.

#include <cstddef>
#include <limits>
#include <span>
#include <vector>

#include "core/fit/eos/observation_checks.hpp"
#include "core/fit/fit_error.hpp"

namespace nivaltus::fit::eos {

// Lower bound of every latent coordinate: the smallest positive normal double.
inline constexpr double latent_lower_bound = std::numeric_limits<double>::min();

struct OptimizerVectors {
  std::vector<double> x0;
  std::vector<double> lower;
  std::vector<double> upper;
};

// x0 = initial followed by each latent slice in order; lower = `lower` then
// latent_lower_bound per latent entry; upper = `upper` then +inf. Fails when
// initial is empty or the bounds are not as long as it.
FitResult<OptimizerVectors> optimizer_vectors(Slice initial, Slice lower, Slice upper,
                                              std::span<const Slice> latent);

// The n values of one observed variable at the trial point x: the next latent
// block x[offset, offset + n) when the variable is latent (offset then moves
// past it), else the observed values themselves. The view lives as long as x
// or `observed`.
inline Slice latent_slice(Slice x, Slice observed, bool latent, std::size_t& offset) {
  if (!latent) return observed;
  const Slice values = x.subspan(offset, observed.size());
  offset += observed.size();
  return values;
}

}  // namespace nivaltus::fit::eos
