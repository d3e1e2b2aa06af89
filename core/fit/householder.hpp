#pragma once
// Householder reflectors H = I − β·v·vᵀ, the orthogonal transformations of
// the QR and bidiagonal reductions of the covariance.

#include <cmath>
#include <span>

namespace nivaltus::fit {

struct Reflector {
  double alpha = 0.0;  // H·x = α·e_0
  double beta = 0.0;   // 0: H = I
};

// Overwrites x with v such that (I − β·v·vᵀ)·x = α·e_0:
//   α = −sign(x_0)·‖x‖, v = x − α·e_0, β = 2/(vᵀv) = −1/(α·v_0).
// The sign of α keeps v_0 = x_0 + sign(x_0)·‖x‖ free of cancellation. A zero
// x gives α = β = 0. ‖x‖ is summed plainly: callers hand in equilibrated
// entries, whose squares neither overflow nor matter when they underflow.
inline Reflector make_reflector(std::span<double> x) {
  double sum = 0.0;
  for (const double value : x) sum += value * value;
  if (sum == 0.0) return {};
  const double norm = std::sqrt(sum);
  const double alpha = x[0] >= 0.0 ? -norm : norm;
  x[0] -= alpha;
  return {alpha, -1.0 / (alpha * x[0])};
}

}  // namespace nivaltus::fit
