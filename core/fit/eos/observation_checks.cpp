#include "core/fit/eos/observation_checks.hpp"

#include <algorithm>
#include <string>

#include "core/fit/checked_size.hpp"

namespace nivaltus::fit::eos {

namespace {

bool all_positive_finite(Slice values) { return std::ranges::all_of(values, is_positive_finite); }

}  // namespace

FitResult<void> validate_common(Slice pressure, Slice volume, Slice pressure_sigma, std::size_t n) {
  if (n == 0 || pressure.size() != n || volume.size() != n || pressure_sigma.size() != n) {
    return fail_input("EOS observation arrays must have the same non-zero length");
  }
  if (!std::ranges::all_of(pressure, is_finite) || !all_positive_finite(volume) ||
      !all_positive_finite(pressure_sigma)) {
    return fail_input("EOS observations and uncertainties must be finite and valid");
  }
  return {};
}

FitResult<void> validate_optional_sigma(const OptionalSlice& values, std::size_t n, std::string_view name) {
  if (!values) return {};
  if (values->size() != n || !all_positive_finite(*values)) {
    return fail_input(std::string(name) + " must contain one positive finite value per observation");
  }
  return {};
}

FitResult<void> validate_cholesky(const OptionalSlice& factors, std::size_t n, std::size_t d) {
  if (!factors) return {};
  const std::size_t block = d * d;
  const bool sized = block != 0 && checked_product(n, block) == factors->size();
  if (!sized || !std::ranges::all_of(*factors, is_finite)) {
    return fail_input("observation Cholesky factors have invalid dimensions or values");
  }
  for (std::size_t point = 0; point < n; ++point) {
    const double* factor = factors->data() + point * block;
    for (std::size_t r = 0; r < d; ++r) {
      if (!(factor[r * d + r] > 0.0))
        return fail_input("observation Cholesky factors must have positive diagonals");
      for (std::size_t c = r + 1; c < d; ++c) {
        if (factor[r * d + c] != 0.0)
          return fail_input("observation Cholesky factors must be lower triangular");
      }
    }
  }
  return {};
}

}  // namespace nivaltus::fit::eos
