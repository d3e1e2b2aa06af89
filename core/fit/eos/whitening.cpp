#include "core/fit/eos/whitening.hpp"

namespace nivaltus::fit::eos {

void whiten_correlated(std::span<double> residuals, std::size_t d, Slice factors, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const double* factor = factors.data() + i * d * d;
    // z_c for c < j already sits at c·n + i.
    for (std::size_t j = 0; j < d; ++j) {
      double sum = 0.0;
      for (std::size_t c = 0; c < j; ++c) sum += factor[j * d + c] * residuals[c * n + i];
      residuals[j * n + i] = (residuals[j * n + i] - sum) / factor[j * d + j];
    }
  }
}

}  // namespace nivaltus::fit::eos
