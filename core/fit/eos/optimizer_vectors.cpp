#include "core/fit/eos/optimizer_vectors.hpp"

namespace nivaltus::fit::eos {

FitResult<OptimizerVectors> optimizer_vectors(Slice initial, Slice lower, Slice upper,
                                              std::span<const Slice> latent) {
  const std::size_t k = initial.size();
  if (k == 0 || lower.size() != k || upper.size() != k) {
    return fail_input("EOS initial parameters and bounds must have the same non-zero length");
  }
  OptimizerVectors vectors;
  std::size_t total = k;
  for (const Slice block : latent) total += block.size();
  vectors.x0.reserve(total);
  vectors.lower.reserve(total);
  vectors.upper.reserve(total);
  vectors.x0.assign(initial.begin(), initial.end());
  vectors.lower.assign(lower.begin(), lower.end());
  vectors.upper.assign(upper.begin(), upper.end());
  for (const Slice block : latent) {
    vectors.x0.insert(vectors.x0.end(), block.begin(), block.end());
    vectors.lower.insert(vectors.lower.end(), block.size(), latent_lower_bound);
    vectors.upper.insert(vectors.upper.end(), block.size(), std::numeric_limits<double>::infinity());
  }
  return vectors;
}

}  // namespace nivaltus::fit::eos
